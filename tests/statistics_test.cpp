#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "core/statistics.h"

using namespace ferolin;

namespace {

struct List {
    std::vector<TrackPoint> points;
    std::vector<ExportEntry> entries;
    explicit List(size_t n) : points(n, TrackPoint{}) {}
    const std::vector<ExportEntry>& Entries() {
        entries.clear();
        for (const auto& p : points) entries.push_back({&p, p.altitude});
        return entries;
    }
    TrackStatistics Compute() {
        TrackStatistics s;
        ComputeTrackStatistics(Entries().data(), static_cast<uint32_t>(points.size()), s);
        return s;
    }
};

}  // namespace

TEST(Statistics, SingleEntry) {
    List l(1);
    l.points[0].speed = 3.5f;
    const auto s = l.Compute();
    EXPECT_EQ(std::tuple(s.distanceKm, s.durationSeconds, s.maxSpeedIndex, s.maxAltitudeIndex,
                         s.minAltitudeIndex, s.averageSpeed, s.averageSpeedNoStop),
              std::tuple(0.0f, 0, 0, 0, 0, 3.5f, 3.5f));
    l.points[0].speed = 1.0f;  // not above the stop threshold
    EXPECT_EQ(l.Compute().averageSpeedNoStop, 0);
}

TEST(Statistics, DistanceIsTheChordLiftedByAltitude) {
    List meridian(2);
    meridian.points[1].latitude = 1.0;
    EXPECT_NEAR(meridian.Compute().distanceKm, 2 * std::sin(0.5 * M_PI / 180) * 6371, 1e-3);
    EXPECT_NEAR(meridian.Compute().distanceKm, 111.1935, 1e-3);

    List vertical(2);
    vertical.points[1].altitude = 1000;
    EXPECT_NEAR(vertical.Compute().distanceKm, 1.0, 1e-4);

    // The distance follows the entry's altitude (after correction), not the point's.
    List corrected(2);
    corrected.Entries();
    corrected.entries[1].altitude = 500;
    TrackStatistics s;
    ComputeTrackStatistics(corrected.entries.data(), 2, s);
    EXPECT_NEAR(s.distanceKm, 0.5, 1e-4);
}

TEST(Statistics, AveragesAndStrictMaxima) {
    List l(3);
    const float speeds[3] = {0, 1.0f, 3.0f};
    for (int i = 0; i < 3; ++i) l.points[i].speed = speeds[i];
    auto s = l.Compute();
    EXPECT_FLOAT_EQ(s.averageSpeed, 4.0f / 3.0f);
    EXPECT_FLOAT_EQ(s.averageSpeedNoStop, 3.0f);

    const float ties[3] = {5, 7, 7};
    for (int i = 0; i < 3; ++i) l.points[i].speed = ties[i];
    EXPECT_EQ(l.Compute().maxSpeedIndex, 1);

    const float altitudes[3] = {100, 50, 50};
    for (int i = 0; i < 3; ++i) l.points[i].altitude = altitudes[i];
    s = l.Compute();
    EXPECT_EQ(s.maxAltitudeIndex, 0);
    EXPECT_EQ(s.minAltitudeIndex, 1);

    for (auto& p : l.points) p.altitude = 0;
    s = l.Compute();
    EXPECT_EQ(s.maxAltitudeIndex, 0);
    EXPECT_EQ(s.minAltitudeIndex, 0);
}

TEST(Statistics, DurationTakesFirstAndLastInListOrder) {
    List l(3);
    for (auto& p : l.points) {
        p.year = 2007;
        p.month = 3;
        p.day = 9;
        p.hour = 10;
    }
    l.points[0].minute = 30;
    l.points[1].minute = 59;  // not searched for the latest time
    l.points[2].minute = 0;
    l.points[2].seconds = 1.9f;
    EXPECT_EQ(l.Compute().durationSeconds, -(30 * 60 - 1));

    List undated(2);
    EXPECT_EQ(undated.Compute().durationSeconds, 0);
}
