// Figures of an export list: extremes, average speeds, distance, duration.
#pragma once

#include <cstdint>

#include "core/earth.h"
#include "core/track_point.h"

namespace ferolin {

struct TrackStatistics {
    int32_t maxSpeedIndex;     // index in the export list, first of equal maxima
    int32_t maxAltitudeIndex;  // by output altitude
    int32_t minAltitudeIndex;
    float averageSpeed;        // km/h over all entries
    float averageSpeedNoStop;  // km/h over entries faster than 1 km/h; 0 when none
    float distanceKm;          // sum of 3-D chords between consecutive entries
    int32_t durationSeconds;   // last entry's time minus the first's
};

// A position on the unit sphere lifted by altitude / earth radius: the points
// between which the statistics measure the track's length.
struct ChordPosition {
    double x, y, z;
};
ChordPosition ChordPositionOf(const TrackPoint& point, float altitude);
// Straight-line distance between two such positions, in earth radii.
double UnitChord(const ChordPosition& a, const ChordPosition& b);

// One pass over `count` (at least 1) entries.
void ComputeTrackStatistics(const ExportEntry* entries, uint32_t count, TrackStatistics& stats);

}  // namespace ferolin
