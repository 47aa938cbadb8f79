#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <tuple>
#include <vector>

#include "core/track_geometry.h"

using namespace ferolin;

namespace {

TrackPoint At(double latitude, double longitude, float altitude = 0) {
    TrackPoint p{};
    p.latitude = latitude;
    p.longitude = longitude;
    p.altitude = altitude;
    return p;
}

struct Screen {
    double x, y;
};

Screen Place(const LocalProjection& projection, const ScreenFit& fit, const TrackPoint& p) {
    double x = 0, y = 0;
    EXPECT_TRUE(projection.Project(p, x, y));
    return {fit.ScreenX(x), fit.ScreenY(y)};
}

}  // namespace

TEST(TrackGeometry, SquareTrackStaysSquareAtSixtyNorth) {
    // A 1 km square around 60° N: a degree of longitude is half as long there.
    const double dLat = 1000.0 / kMetresPerDegree;
    const double dLon = dLat / 0.5;
    std::vector<TrackPoint> square = {At(60 - dLat / 2, 10 - dLon / 2), At(60 - dLat / 2, 10 + dLon / 2),
                                      At(60 + dLat / 2, 10 + dLon / 2), At(60 + dLat / 2, 10 - dLon / 2),
                                      At(60 - dLat / 2, 10 - dLon / 2)};
    const PointSeries series(square.data(), 5);
    const LocalProjection projection = MakeLocalProjection(series);
    EXPECT_EQ(projection.positioned, 5u);
    EXPECT_NEAR(projection.maxX - projection.minX, 1000.0, 1.0);
    EXPECT_NEAR(projection.maxY - projection.minY, 1000.0, 1.0);

    // In a wide window the square keeps equal sides, centred, inside the margin.
    const ScreenFit fit = FitToRectangle(projection, 600, 300, 20);
    const Screen sw = Place(projection, fit, square[0]), se = Place(projection, fit, square[1]);
    const Screen ne = Place(projection, fit, square[2]), nw = Place(projection, fit, square[3]);
    EXPECT_NEAR(se.x - sw.x, 260.0, 0.5);
    EXPECT_NEAR(sw.y - nw.y, 260.0, 0.5);  // north is up: smaller y
    EXPECT_NEAR(ne.x - nw.x, se.x - sw.x, 1e-6);
    EXPECT_NEAR((sw.x + se.x) / 2, 300.0, 1e-6);
    EXPECT_NEAR((sw.y + nw.y) / 2, 150.0, 1e-6);
    EXPECT_NEAR(sw.y, 280.0, 0.5);

    // The same square in a tall window is as wide as the window allows.
    const ScreenFit tall = FitToRectangle(projection, 200, 500, 10);
    const Screen a = Place(projection, tall, square[0]), c = Place(projection, tall, square[2]);
    EXPECT_NEAR(c.x - a.x, 180.0, 0.5);
    EXPECT_NEAR(a.y - c.y, 180.0, 0.5);

    // A track across the 180th meridian is 22 km wide, not the whole earth.
    std::vector<TrackPoint> dateLine = {At(0, 179.9), At(0, -179.9)};
    const LocalProjection across = MakeLocalProjection(PointSeries(dateLine.data(), 2));
    EXPECT_NEAR(across.maxX - across.minX, 0.2 * kMetresPerDegree, 1.0);
}

TEST(TrackGeometry, ScaleBarIsOneTwoOrFiveTimesAPowerOfTen) {
    const struct {
        double pixelsPerMetre, maxPixels;
        int metres;
        const char* label;
    } rows[] = {
        {0.1, 100, 1000, "1 km"},  // 10 m a pixel
        {1.0, 150, 100, "100 m"},
        {1.0, 250, 200, "200 m"},
        {0.001, 60, 50000, "50 km"},
        {1000, 50, 1, "1 m"},  // not even a metre fits: one metre anyway
    };
    for (const auto& row : rows) {
        const ScaleBar bar = ChooseScaleBar(row.pixelsPerMetre, row.maxPixels);
        EXPECT_EQ(bar.metres, row.metres) << row.label;
        EXPECT_EQ(bar.label, row.label);
        EXPECT_DOUBLE_EQ(bar.pixels, row.metres * row.pixelsPerMetre) << row.label;
    }
    for (double ppm : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity()}) {
        const ScaleBar bar = ChooseScaleBar(ppm, 100);
        EXPECT_EQ(bar.metres, 0);
        EXPECT_TRUE(bar.label.empty());
    }
}

TEST(TrackGeometry, SpikeAmongAMillionFlatPointsSurvivesDecimation) {
    constexpr uint32_t kCount = 1000000;
    constexpr uint32_t kSpike = 537123, kDip = 12345;
    std::vector<TrackPoint> points(kCount);
    for (uint32_t i = 0; i < kCount; ++i) points[i] = At(45.0 + i * 1e-5, 6.0, 300.0f);
    points[kSpike].altitude = 2500.0f;
    points[kDip].altitude = -80.0f;
    const PointSeries series(points.data(), kCount);
    const std::vector<double> distance = CumulativeDistance(series);
    ASSERT_EQ(distance.size(), kCount);
    EXPECT_NEAR(distance.back(), (kCount - 1) * 1e-5 * kMetresPerDegree, 50.0);

    std::vector<uint32_t> kept;
    constexpr uint32_t kColumns = 800;
    DecimateByColumn(
        kCount, distance.front(), distance.back(), kColumns, [&](uint32_t i) { return distance[i]; },
        [&](uint32_t i) { return static_cast<double>(series.Altitude(i)); }, kept);
    EXPECT_LE(kept.size(), 4u * kColumns);
    EXPECT_GE(kept.size(), kColumns);
    EXPECT_TRUE(std::is_sorted(kept.begin(), kept.end()));
    EXPECT_EQ(std::adjacent_find(kept.begin(), kept.end()), kept.end());
    EXPECT_EQ(kept.front(), 0u);
    EXPECT_EQ(kept.back(), kCount - 1);
    EXPECT_NE(std::find(kept.begin(), kept.end(), kSpike), kept.end());
    EXPECT_NE(std::find(kept.begin(), kept.end(), kDip), kept.end());

    // Over an export list the same: entry indices, the entries' own altitudes.
    std::vector<ExportEntry> entries;
    for (uint32_t i = 0; i < kCount; i += 2) entries.push_back({&points[i], 10.0f});
    entries[1000].altitude = 99.0f;
    const PointSeries exported(entries.data(), static_cast<uint32_t>(entries.size()));
    DecimateByColumn(
        exported.size(), 0, kCount, 100,
        [&](uint32_t i) { return static_cast<double>(&exported[i] - points.data()); },
        [&](uint32_t i) { return static_cast<double>(exported.Altitude(i)); }, kept);
    EXPECT_LE(kept.size(), 400u);
    EXPECT_NE(std::find(kept.begin(), kept.end(), 1000u), kept.end());
}

TEST(TrackGeometry, DecimationKeepsEverySampleWhenColumnsOutnumberThem) {
    std::vector<double> ys = {1, 5, 2, 8, 3};
    std::vector<uint32_t> kept;
    DecimateByColumn(
        5, 0, 4, 100, [](uint32_t i) { return static_cast<double>(i); },
        [&](uint32_t i) { return ys[i]; }, kept);
    EXPECT_EQ(kept, (std::vector<uint32_t>{0, 1, 2, 3, 4}));
    // One column: first, lowest, highest, last.
    DecimateByColumn(
        5, 0, 4, 1, [](uint32_t i) { return static_cast<double>(i); },
        [&](uint32_t i) { return ys[i]; }, kept);
    EXPECT_EQ(kept, (std::vector<uint32_t>{0, 3, 4}));
    // Samples without a value are left out; a flat x range is one column.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> xs = {nan, 7, 7, nan, 7};
    DecimateByColumn(
        5, 7, 7, 50, [&](uint32_t i) { return xs[i]; }, [&](uint32_t i) { return ys[i]; }, kept);
    EXPECT_EQ(kept, (std::vector<uint32_t>{1, 2, 4}));
    // Time running backwards: each run is kept on its own.
    std::vector<double> back = {0, 10, 0, 10};
    DecimateByColumn(
        4, 0, 10, 2, [&](uint32_t i) { return back[i]; }, [&](uint32_t i) { return ys[i]; }, kept);
    EXPECT_EQ(kept, (std::vector<uint32_t>{0, 1, 2, 3}));
}

TEST(TrackGeometry, NearestPointAgreesWithABruteForceScan) {
    std::mt19937 random(20071);
    std::uniform_real_distribution<double> coordinate(-500.0, 1500.0);
    std::vector<double> xs(20000), ys(20000);
    for (size_t i = 0; i < xs.size(); ++i) {
        xs[i] = coordinate(random);
        ys[i] = coordinate(random) * 0.3;
    }
    for (size_t i = 0; i < 50; ++i) xs[i * 7 + 3] = xs[i * 7 + 2], ys[i * 7 + 3] = ys[i * 7 + 2];
    for (size_t i = 100; i < 120; ++i) ys[i] = std::numeric_limits<double>::quiet_NaN();
    NearestPointIndex index;
    index.Build(static_cast<uint32_t>(xs.size()), [&](uint32_t i, double& x, double& y) {
        x = xs[i], y = ys[i];
        return i % 1000 != 999;  // some points take no part
    });
    EXPECT_EQ(index.size(), xs.size() - 20 - 20);

    std::uniform_real_distribution<double> query(-900.0, 1900.0);
    for (const auto& scale : {std::pair{1.0, 1.0}, std::pair{3.0, 0.25}, std::pair{0.01, 40.0}}) {
        for (int q = 0; q < 1500; ++q) {
            const double qx = query(random), qy = query(random) * 0.4;
            double best = std::numeric_limits<double>::infinity();
            int64_t bestIndex = -1;
            for (size_t i = 0; i < xs.size(); ++i) {
                if (!std::isfinite(ys[i]) || i % 1000 == 999) continue;
                const double dx = scale.first * (xs[i] - qx), dy = scale.second * (ys[i] - qy);
                const double d = std::sqrt(dx * dx + dy * dy);
                if (d < best) best = d, bestIndex = static_cast<int64_t>(i);
            }
            const int64_t found = index.Nearest(qx, qy, scale.first, scale.second);
            ASSERT_GE(found, 0);
            const double dx = scale.first * (xs[found] - qx), dy = scale.second * (ys[found] - qy);
            ASSERT_NEAR(std::sqrt(dx * dx + dy * dy), best, 1e-3 * std::max(1.0, best))
                << "query " << qx << "," << qy << " found " << found << " expected " << bestIndex;
        }
    }

    // Points all on one line, and all in one place (the lowest index wins).
    NearestPointIndex line;
    line.Build(1000, [](uint32_t i, double& x, double& y) { return x = i, y = 5, true; });
    EXPECT_EQ(line.Nearest(420.2, -3000), 420);
    EXPECT_EQ(line.Nearest(-1e9, 5), 0);
    EXPECT_EQ(line.Nearest(1e9, 5), 999);
    NearestPointIndex heap;
    heap.Build(300, [](uint32_t, double& x, double& y) { return x = 2, y = 2, true; });
    EXPECT_EQ(heap.Nearest(100, -7), 0);
    // Extreme extents, beyond what the index keeps exactly: still a point.
    NearestPointIndex wide;
    wide.Build(3, [](uint32_t i, double& x, double& y) {
        return x = i == 0 ? -1e300 : (i == 1 ? 0.0 : 1e300), y = i * 1e-300, true;
    });
    for (double qx : {-1e300, 0.0, 1e300, 1e308}) {
        const int64_t found = wide.Nearest(qx, 0);
        EXPECT_TRUE(found >= 0 && found < 3) << qx;
    }
    EXPECT_EQ(wide.Nearest(-1e300, 0), 0);
    std::vector<uint32_t> kept;
    DecimateByColumn(
        3, 0, 1e-300, 100, [](uint32_t i) { return i * 1e-300; }, [](uint32_t i) { return i * 1.0; },
        kept);
    EXPECT_EQ(kept, (std::vector<uint32_t>{0, 1, 2}));
    NearestPointIndex none;
    none.Build(10, [](uint32_t, double&, double&) { return false; });
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(none.Nearest(0, 0), -1);
}

TEST(TrackGeometry, DegenerateTracksGiveFiniteFigures) {
    auto expectUsableFit = [](const LocalProjection& projection) {
        const ScreenFit fit = FitToRectangle(projection, 300, 200, 20);
        EXPECT_TRUE(std::isfinite(fit.pixelsPerMetre));
        EXPECT_GT(fit.pixelsPerMetre, 0);
        // The view spans at least the minimum ground across its short side.
        EXPECT_LE(fit.pixelsPerMetre, 160 / kMinimumViewMetres + 1e-9);
        EXPECT_FALSE(ChooseScaleBar(fit.pixelsPerMetre, 100).label.empty());
        return fit;
    };

    // No track.
    const PointSeries empty;
    const LocalProjection none = MakeLocalProjection(empty);
    EXPECT_EQ(none.positioned, 0u);
    expectUsableFit(none);
    EXPECT_TRUE(CumulativeDistance(empty).empty());
    EXPECT_FALSE(AltitudeRange(empty).valid);
    EXPECT_EQ(MakeLocalProjection(PointSeries(static_cast<const TrackPoint*>(nullptr), 5)).positioned,
              0u);

    // One point: in the middle of the window.
    std::vector<TrackPoint> one = {At(45.2, 5.7, 0)};
    const LocalProjection single = MakeLocalProjection(PointSeries(one.data(), 1));
    const ScreenFit fit = expectUsableFit(single);
    const Screen s = Place(single, fit, one[0]);
    EXPECT_NEAR(s.x, 150, 1e-9);
    EXPECT_NEAR(s.y, 100, 1e-9);
    EXPECT_EQ(CumulativeDistance(PointSeries(one.data(), 1)), std::vector<double>{0.0});

    // Many points in one place, undated, altitudes all 0.
    std::vector<TrackPoint> still(1000, At(-33.9, 18.4, 0));
    const PointSeries stillSeries(still.data(), 1000);
    const LocalProjection stillProjection = MakeLocalProjection(stillSeries);
    EXPECT_EQ(stillProjection.maxX, stillProjection.minX);
    expectUsableFit(stillProjection);
    EXPECT_EQ(CumulativeDistance(stillSeries).back(), 0.0);
    EXPECT_TRUE(std::isnan(PointSeconds(still[0])));
    const ValueRange flat = AltitudeRange(stillSeries);
    ASSERT_TRUE(flat.valid);
    EXPECT_EQ(flat.min, 0);
    EXPECT_EQ(flat.max, 0);
    const Rgb middle = AltitudeColour(0, 0, 0);
    const Rgb ramp = AltitudeColour(50, 0, 100);
    EXPECT_EQ(std::tuple(middle.r, middle.g, middle.b), std::tuple(ramp.r, ramp.g, ramp.b));
    EXPECT_EQ(AltitudeBucket(0, 0, 0, 32), 16);
    std::vector<uint32_t> kept;
    DecimateByColumn(
        1000, 0, 0, 0, [&](uint32_t i) { return PointSeconds(still[i]); },
        [](uint32_t) { return 0.0; }, kept);
    EXPECT_TRUE(kept.empty());

    // Damaged positions are left out of the outline and the distance.
    std::vector<TrackPoint> damaged = {At(45, 6), At(std::numeric_limits<double>::quiet_NaN(), 6),
                                       At(46, 6), At(45.5, 1e300)};
    const PointSeries damagedSeries(damaged.data(), 4);
    EXPECT_EQ(MakeLocalProjection(damagedSeries).positioned, 2u);
    const std::vector<double> distance = CumulativeDistance(damagedSeries);
    EXPECT_EQ(distance[1], 0.0);
    EXPECT_NEAR(distance[2], 2 * std::sin(0.5 * M_PI / 180) * 6371000.0, 1e-3);
    EXPECT_EQ(distance[3], distance[2]);
}

TEST(TrackGeometry, AltitudeRampRunsFromBlueToRedAndTimesCarryTheirFraction) {
    const Rgb low = AltitudeColour(200, 200, 1200), high = AltitudeColour(1200, 200, 1200);
    EXPECT_GT(low.b, low.r);
    EXPECT_GT(high.r, high.b);
    const Rgb below = AltitudeColour(-5000, 200, 1200);
    EXPECT_EQ(below.b, low.b);
    EXPECT_EQ(AltitudeBucket(200, 200, 1200, 32), 0);
    EXPECT_EQ(AltitudeBucket(1200, 200, 1200, 32), 31);
    EXPECT_EQ(AltitudeBucket(std::nanf(""), 200, 1200, 32), 16);

    TrackPoint p{};
    p.year = 2007, p.month = 6, p.day = 16, p.hour = 7, p.minute = 30, p.seconds = 5.25f;
    EXPECT_DOUBLE_EQ(PointSeconds(p), 1181979005.25);
    p.seconds = std::nanf("");
    EXPECT_DOUBLE_EQ(PointSeconds(p), 1181979000.0);
}
