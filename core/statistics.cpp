#include "core/statistics.h"

#include <cmath>

namespace ferolin {

namespace {

constexpr double kDegreesToRadians = 0.017453292519943393;
constexpr double kInverseEarthRadius = 1.5696123057604772e-07;  // 1 / 6371000 m
constexpr double kEarthRadiusKm = 6371.0;
constexpr double kStopThreshold = 1.0;  // km/h; only faster entries are moving

struct Position {
    double x, y, z;
};

Position PositionOf(const ExportEntry& e) {
    const double phi = e.point->latitude * kDegreesToRadians;
    const double lambda = e.point->longitude * kDegreesToRadians;
    const double r = 1.0 + static_cast<double>(e.altitude) * kInverseEarthRadius;
    return {r * std::cos(phi) * std::cos(lambda), r * std::cos(phi) * std::sin(lambda),
            r * std::sin(phi)};
}

}  // namespace

void ComputeTrackStatistics(const ExportEntry* entries, uint32_t count, TrackStatistics& stats) {
    stats = TrackStatistics{};
    if (count == 0) return;

    const int64_t duration =
        TrackPointTime(*entries[count - 1].point) - TrackPointTime(*entries[0].point);
    stats.durationSeconds = static_cast<int32_t>(duration);

    double speedSum = 0, movingSum = 0, distance = 0;
    uint32_t movingCount = 0;
    uint32_t maxSpeed = 0, maxAltitude = 0, minAltitude = 0;
    Position previous = PositionOf(entries[0]);
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
            const Position p = PositionOf(e);
            const double dx = p.x - previous.x, dy = p.y - previous.y, dz = p.z - previous.z;
            distance += std::sqrt(dx * dx + dy * dy + dz * dz);
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
