// Figures of an export list: extremes, average speeds, distance, duration.
#pragma once

#include <cstdint>

#include "core/earth.h"
#include "core/sensors.h"
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

// The chords between consecutive entries of an export list, in earth radii,
// fed one entry after another. A point without altitude (`extras`) lends the
// chords on either side the altitude of their other end, so that a missing
// value is no climb from 0 and back (0 at both ends when neither has one).
class ChordWalker {
public:
    // `document`, when given, ends the chords at the gaps between segments.
    explicit ChordWalker(const SensorChannels* extras, const TrackDocument* document = nullptr)
        : extras_(extras && extras->AnyAbsent() ? extras : nullptr),
          document_(document && !document->OneLine() ? document : nullptr) {}
    // The chord from the entry before to `e`; 0 for the first.
    double Next(const ExportEntry& e);

private:
    const SensorChannels* extras_;
    const TrackDocument* document_;
    const ExportEntry* previous_ = nullptr;
    ChordPosition position_{};  // of the entry before, at its own altitude
    bool hadAltitude_ = true;
};

// One pass over `count` (at least 1) entries. With `extras`, points without
// altitude or speed count in none of the figures of that value (the
// statistics of the KML writer); without, every field counts as stored (the
// text tables keep their numbers).
// `document`, when given, keeps the distance from crossing the gaps between
// segments.
void ComputeTrackStatistics(const ExportEntry* entries, uint32_t count, TrackStatistics& stats,
                            const SensorChannels* extras = nullptr, const TrackDocument* document = nullptr);

}  // namespace ferolin
