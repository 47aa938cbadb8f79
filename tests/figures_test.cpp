// The figures on synthetic tracks whose true values are known: noise on flat
// ground, a noisy climb sampled at two rates, stops, positions across the
// 180th meridian, tracks that store no speed.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/figures.h"
#include "core/selection.h"
#include "core/statistics.h"

using namespace ferolin;

namespace {

constexpr double kMetresPerDegreeOfArc = 6371000.0 * M_PI / 180.0;

// Points of one walk along the meridian 5° E from 45° N, dated 1 May 2024
// from 08:00:00 UTC.
struct Walk {
    std::vector<TrackPoint> points;
    double metres = 0;  // walked so far
    uint32_t noiseState = 12345;

    // Uniform in [-1, 1], the same sequence on every run.
    double Noise() {
        noiseState = noiseState * 1664525u + 1013904223u;
        return (noiseState >> 8) / double(1 << 24) * 2.0 - 1.0;
    }
    void Add(double t, double altitude, float speed) {
        TrackPoint p{};
        p.year = 2024, p.month = 5, p.day = 1;
        p.hour = static_cast<int8_t>(8 + int(t) / 3600);
        p.minute = static_cast<int8_t>(int(t) / 60 % 60);
        p.seconds = static_cast<float>(std::fmod(t, 60.0));
        p.latitude = 45.0 + metres / kMetresPerDegreeOfArc;
        p.longitude = 5.0;
        p.altitude = static_cast<float>(altitude);
        p.speed = speed;
        points.push_back(p);
    }
    // `seconds` of walking at `kmh` from time t0, one point every `step` seconds
    // (none when `recorded` is false), the stored speed written when `stored`.
    void Go(double& t, double seconds, double step, double kmh, bool recorded, bool stored) {
        for (double end = t + seconds; t < end - 1e-9; t += step) {
            metres += kmh / 3.6 * step;
            if (recorded) Add(t + step, 100, stored ? static_cast<float>(kmh) : 0.0f);
        }
    }
    TrackFigures Figures(double threshold = kDefaultAscentThreshold) const {
        std::vector<ExportEntry> entries;
        for (const TrackPoint& p : points) entries.push_back({&p, p.altitude});
        TrackFigures f;
        ComputeFigures(entries.data(), static_cast<uint32_t>(entries.size()), threshold, f);
        return f;
    }
};

}  // namespace

TEST(Figures, AscentThroughTheDeadBand) {
    struct Case {
        const char* name;
        double seconds, step, climb, noise;
        double minAscent, maxAscent, maxDescent;
    };
    const Case cases[] = {
        {"flat ground, +-3 m of noise", 7200, 1, 0, 3, 0, 5, 5},
        {"500 m climb, noise, every second", 3600, 1, 500, 3, 490, 510, 5},
        {"500 m climb, noise, every 5 s", 3600, 5, 500, 3, 490, 510, 5},
        {"500 m descent, noise", 3600, 2, -500, 3, 0, 5, 510},
    };
    double ascents[4];
    for (size_t k = 0; k < std::size(cases); ++k) {
        const Case& c = cases[k];
        Walk w;
        for (double t = 0; t <= c.seconds; t += c.step)
            w.Add(t, 1000 + c.climb * t / c.seconds + c.noise * w.Noise(), 4);
        const TrackFigures f = w.Figures();
        SCOPED_TRACE(c.name);
        ascents[k] = f.ascentMetres;
        EXPECT_GE(f.ascentMetres, c.minAscent);
        EXPECT_LE(f.ascentMetres, c.maxAscent);
        EXPECT_LE(f.descentMetres, c.maxDescent);
        if (c.climb < 0) {
            EXPECT_GE(f.descentMetres, 490);
        }
        EXPECT_NEAR(f.maxAltitude - f.minAltitude, std::fabs(c.climb) + 2 * c.noise, 2 * c.noise);
    }
    EXPECT_NEAR(ascents[1], ascents[2], 0.02 * ascents[1]);

    // The band itself: a rise of 4 m stays inside it; one of 12 m counts 7 m
    // (the counted altitude moves to 5 m below the top, 107 m); back down to
    // 100 m counts 2 m (to 105 m). Without a band every change counts.
    Walk steps;
    const double altitudes[] = {100, 104, 100, 112, 100};
    for (int i = 0; i < 5; ++i) steps.Add(i, altitudes[i], 4);
    EXPECT_DOUBLE_EQ(steps.Figures().ascentMetres, 7);
    EXPECT_DOUBLE_EQ(steps.Figures().descentMetres, 2);
    EXPECT_DOUBLE_EQ(steps.Figures(0).ascentMetres, 16);
    EXPECT_DOUBLE_EQ(steps.Figures(0).descentMetres, 16);
}

TEST(Figures, MovingTimeLeavesStopsAndGapsOut) {
    struct Case {
        const char* name;
        bool stopRecorded;  // the stop as points at speed 0, or as a gap in the log
        bool stored;        // the file stores speeds (else they are derived)
        double step;
        double minMoving, maxMoving;
    };
    const Case cases[] = {
        {"10-minute stop, logged", true, true, 1, 1200, 1200},
        // The interval across the gap (its first step walked) is not moving.
        {"10-minute stop, logger off", false, true, 1, 1199, 1199},
        {"10-minute stop, logged, no speed stored", true, false, 1, 1200, 1204},
        {"10-minute stop, logger off, every 5 s, no speed", false, false, 5, 1195, 1195},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Walk w;
        double t = 0;
        w.Add(t, 100, c.stored ? 5.0f : 0.0f);
        w.Go(t, 600, c.step, 5, true, c.stored);
        w.Go(t, 600, c.step, 0, c.stopRecorded, c.stored);
        w.Go(t, 600, c.step, 5, true, c.stored);
        const TrackFigures f = w.Figures();
        EXPECT_EQ(f.speedDerived, !c.stored);
        EXPECT_GE(f.movingSeconds, c.minMoving);
        EXPECT_LE(f.movingSeconds, c.maxMoving);
        EXPECT_DOUBLE_EQ(f.durationSeconds, 1800);
        EXPECT_NEAR(f.distanceMetres, 2 * 600 * 5 / 3.6, 0.01);
        EXPECT_NEAR(f.movingSpeedKmh, 5.0, 0.02);
        EXPECT_NEAR(f.maxSpeedKmh, 5.0, 0.01);
    }
}

TEST(Figures, DistanceAndDerivedSpeed) {
    // One degree of the meridian, in one step and in a thousand; across the
    // 180th meridian; a point without position adds nothing.
    struct Leg {
        double lat0, lon0, lat1, lon1;
        int steps;
        double metres;
    };
    const Leg legs[] = {
        {45, 5, 46, 5, 1, kMetresPerDegreeOfArc},
        {45, 5, 46, 5, 1000, kMetresPerDegreeOfArc},
        {0, 179.9, 0, -179.9, 1, 0.2 * kMetresPerDegreeOfArc},
        {0, 179.9, 0, 180.1, 200, 0.2 * kMetresPerDegreeOfArc},
    };
    for (const Leg& leg : legs) {
        std::vector<TrackPoint> points(leg.steps + 2, TrackPoint{});
        for (int i = 0; i <= leg.steps; ++i) {
            points[i].latitude = leg.lat0 + (leg.lat1 - leg.lat0) * i / leg.steps;
            points[i].longitude = leg.lon0 + (leg.lon1 - leg.lon0) * i / leg.steps;
        }
        points.back().latitude = NAN;
        std::vector<ExportEntry> entries;
        for (const TrackPoint& p : points) entries.push_back({&p, 0});
        TrackFigures f;
        ComputeFigures(entries.data(), static_cast<uint32_t>(entries.size()), 5, f);
        EXPECT_NEAR(f.distanceMetres, leg.metres, 0.01) << leg.steps << " steps";
        EXPECT_FALSE(f.Dated());
        EXPECT_TRUE(std::isnan(f.start));
    }

    // No speed stored: two fixes stamped with the same second, and a burst of
    // fixes 0.2 s apart, would give an endless or a fivefold speed from one
    // interval; the 5-second window gives the walking speed.
    Walk w;
    const double times[] = {0, 1, 2, 3, 3, 5, 6, 7, 8, 8.2, 8.4, 9, 10, 11, 12, 13};
    for (double t : times) {
        w.metres = 5 / 3.6 * std::round(t);
        w.Add(t, 100, 0);
    }
    std::vector<float> speeds;
    EXPECT_TRUE(SpeedsOf(PointSeries(w.points.data(), w.points.size()), speeds));
    for (size_t i = 0; i < speeds.size(); ++i) EXPECT_NEAR(speeds[i], 5.0, 1.3) << i;
    EXPECT_LE(w.Figures().maxSpeedKmh, 6.3);

    // One stored speed: the stored speeds are used.
    w.points[5].speed = 2;
    EXPECT_FALSE(SpeedsOf(PointSeries(w.points.data(), w.points.size()), speeds));
    EXPECT_EQ(speeds[5], 2.0f);
    EXPECT_EQ(w.Figures().maxSpeedKmh, 2.0);
}

// Two segments 10 km and 300 m of climb apart, a minute between them: every
// measure of the track's length, time and climb stops at the gap, the
// smoothing too; without the document the jump counts, as it did.
TEST(Figures, NothingIsCountedAcrossTheGapBetweenSegments) {
    for (const bool stored : {true, false}) {
        SCOPED_TRACE(stored ? "speeds stored" : "speeds derived");
        Walk w;
        double t = 0;
        w.Add(t, 100, stored ? 5.0f : 0.0f);
        w.Go(t, 600, 1, 5, true, stored);
        const auto second = static_cast<uint32_t>(w.points.size());
        w.metres += 10000;
        t += 60;
        w.Add(t, 400, stored ? 5.0f : 0.0f);
        for (double end = t + 600; t < end - 1e-9; t += 1) {
            w.metres += 5 / 3.6;
            w.Add(t + 1, 400, stored ? 5.0f : 0.0f);
        }
        std::vector<ExportEntry> entries;
        for (uint32_t i = 0; i < w.points.size(); ++i) entries.push_back({&w.points[i], w.points[i].altitude, i});
        const auto n = static_cast<uint32_t>(entries.size());
        SensorChannels extras;
        extras.document.SetStructure({0, second}, {});
        for (const bool split : {true, false}) {
            SCOPED_TRACE(split ? "two segments" : "one line");
            const double jump = split ? 0 : 10000;
            TrackFigures f;
            ComputeFigures(entries.data(), n, kDefaultAscentThreshold, f, split ? &extras : nullptr);
            EXPECT_NEAR(f.distanceMetres, 2 * 600 * 5 / 3.6 + jump, 0.5);
            EXPECT_NEAR(f.ascentMetres, split ? 0 : 300, 6);
            EXPECT_NEAR(f.movingSeconds, split ? 1200 : 1260, 2);
            EXPECT_DOUBLE_EQ(f.durationSeconds, 1260);
            TrackStatistics s;
            ComputeTrackStatistics(entries.data(), n, s, nullptr, split ? &extras.document : nullptr);
            EXPECT_NEAR(s.distanceKm, (2 * 600 * 5 / 3.6 + jump) / 1000, 0.01);
            const std::vector<double> along = CumulativeDistance(PointSeries(entries.data(), n, split ? &extras : nullptr));
            EXPECT_NEAR(along.back(), 2 * 600 * 5 / 3.6 + jump, 0.5);
            std::vector<ExportEntry> smoothed = entries;
            SmoothAltitudes(smoothed, 3, split ? &extras.document : nullptr);
            EXPECT_FLOAT_EQ(smoothed[second - 1].altitude, split ? 100 : 100 + 300 * 3 / 7.0f);
            EXPECT_FLOAT_EQ(smoothed[second].altitude, split ? 400 : 100 + 300 * 4 / 7.0f);
        }
    }
}
