#include "core/statistics.h"

#include <cmath>

namespace ferolin {

namespace {

constexpr double kStopThreshold = 1.0;  // km/h; only faster entries are moving

}  // namespace

ChordPosition ChordPositionOf(const TrackPoint& point, float altitude) {
    const double phi = point.latitude * kDegreesToRadians;
    const double lambda = point.longitude * kDegreesToRadians;
    const double r = 1.0 + static_cast<double>(altitude) * kInverseEarthRadius;
    return {r * std::cos(phi) * std::cos(lambda), r * std::cos(phi) * std::sin(lambda),
            r * std::sin(phi)};
}

double UnitChord(const ChordPosition& a, const ChordPosition& b) {
    const double dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

void ComputeTrackStatistics(const ExportEntry* entries, uint32_t count, TrackStatistics& stats) {
    stats = TrackStatistics{};
    if (count == 0) return;

    const int64_t duration =
        TrackPointTime(*entries[count - 1].point) - TrackPointTime(*entries[0].point);
    stats.durationSeconds = static_cast<int32_t>(duration);

    double speedSum = 0, movingSum = 0, distance = 0;
    uint32_t movingCount = 0;
    uint32_t maxSpeed = 0, maxAltitude = 0, minAltitude = 0;
    ChordPosition previous = ChordPositionOf(*entries[0].point, entries[0].altitude);
    for (uint32_t i = 0; i < count; ++i) {
        const ExportEntry& e = entries[i];
        const double speed = e.point->speed;
        speedSum += speed;
        if (speed > kStopThreshold) {
            movingSum += speed;
            ++movingCount;
        }
        if (e.point->speed > entries[maxSpeed].point->speed) maxSpeed = i;
        if (e.altitude > entries[maxAltitude].altitude) maxAltitude = i;
        if (e.altitude < entries[minAltitude].altitude) minAltitude = i;
        if (i >= 1) {
            const ChordPosition p = ChordPositionOf(*e.point, e.altitude);
            distance += UnitChord(previous, p);
            previous = p;
        }
    }
    stats.maxSpeedIndex = static_cast<int32_t>(maxSpeed);
    stats.maxAltitudeIndex = static_cast<int32_t>(maxAltitude);
    stats.minAltitudeIndex = static_cast<int32_t>(minAltitude);
    stats.averageSpeed = static_cast<float>(speedSum / count);
    stats.averageSpeedNoStop = movingCount ? static_cast<float>(movingSum / movingCount) : 0.0f;
    stats.distanceKm = static_cast<float>(distance * kEarthRadiusKm);
}

}  // namespace ferolin
