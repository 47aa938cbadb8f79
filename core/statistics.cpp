#include "core/statistics.h"

#include <algorithm>
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

double ChordWalker::Next(const ExportEntry& e) {
    // The first point of a segment begins the walk afresh.
    if (document_ && previous_ && document_->Gap(previous_->index, e.index)) previous_ = nullptr;
    double chord = 0;
    if (!extras_) {
        const ChordPosition p = ChordPositionOf(*e.point, e.altitude);
        if (previous_) chord = UnitChord(position_, p);
        position_ = p;
        previous_ = &e;
        return chord;
    }
    const bool has = !extras_->Lacks(e.index, kFieldAltitude);
    const ChordPosition p = ChordPositionOf(*e.point, has ? e.altitude : 0.0f);
    if (previous_) {
        if (has && hadAltitude_) {
            chord = UnitChord(position_, p);
        } else {
            const float level = has ? e.altitude : hadAltitude_ ? previous_->altitude : 0.0f;
            chord = UnitChord(ChordPositionOf(*previous_->point, level), ChordPositionOf(*e.point, level));
        }
    }
    position_ = p;
    previous_ = &e;
    hadAltitude_ = has;
    return chord;
}

void ComputeTrackStatistics(const ExportEntry* entries, uint32_t count, TrackStatistics& stats,
                            const SensorChannels* extras, const TrackDocument* document) {
    stats = TrackStatistics{};
    if (count == 0) return;

    const int64_t duration =
        TrackPointTime(*entries[count - 1].point) - TrackPointTime(*entries[0].point);
    stats.durationSeconds = static_cast<int32_t>(duration);

    const auto lacks = [extras](const ExportEntry& e, uint8_t field) {
        return PointLacks(extras, e.index, field);
    };
    double speedSum = 0, movingSum = 0, distance = 0;
    uint32_t speedCount = 0, movingCount = 0;
    int64_t maxSpeed = -1, maxAltitude = -1, minAltitude = -1;
    ChordWalker chords(extras, document);
    for (uint32_t i = 0; i < count; ++i) {
        const ExportEntry& e = entries[i];
        if (!lacks(e, kFieldSpeed)) {
            const double speed = e.point->speed;
            speedSum += speed;
            ++speedCount;
            if (speed > kStopThreshold) {
                movingSum += speed;
                ++movingCount;
            }
            if (maxSpeed < 0 || e.point->speed > entries[maxSpeed].point->speed) maxSpeed = i;
        }
        if (!lacks(e, kFieldAltitude)) {
            if (maxAltitude < 0 || e.altitude > entries[maxAltitude].altitude) maxAltitude = i;
            if (minAltitude < 0 || e.altitude < entries[minAltitude].altitude) minAltitude = i;
        }
        distance += chords.Next(e);
    }
    // A track whose points all lack the value points at its first entry.
    stats.maxSpeedIndex = static_cast<int32_t>(std::max<int64_t>(maxSpeed, 0));
    stats.maxAltitudeIndex = static_cast<int32_t>(std::max<int64_t>(maxAltitude, 0));
    stats.minAltitudeIndex = static_cast<int32_t>(std::max<int64_t>(minAltitude, 0));
    stats.averageSpeed = speedCount ? static_cast<float>(speedSum / speedCount) : 0.0f;
    stats.averageSpeedNoStop = movingCount ? static_cast<float>(movingSum / movingCount) : 0.0f;
    stats.distanceKm = static_cast<float>(distance * kEarthRadiusKm);
}

}  // namespace ferolin
