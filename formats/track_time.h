// Times of the training and web formats (TCX, GeoJSON, FIT): ISO 8601
// date-times read into a point's calendar fields, and the time line a writer
// gives a track whose points lack dates.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/statistics.h"
#include "core/text_format.h"
#include "core/track_point.h"

namespace ferolin {

// Reads "YYYY-MM-DDTHH:MM:SS[.fff][Z|+HH:MM|-HH:MM|+HHMM|+HH]" (a blank for
// the T, the seconds' fraction and the zone optional; no zone is UTC) into
// the point's date and time, moved to UTC. 24:00:00 is midnight of the next
// day and a leap second :60 reads as :59.999. False, with the point
// untouched, for any other text and for a date or time that does not exist
// (month 13, 30 February, hour 25) or lies outside the years 1970 to 9999
// once in UTC.
bool ParseIsoTime(std::string_view text, TrackPoint& point);

// Milliseconds since 1970-01-01 UTC of a dated point (its seconds' fraction
// rounded to the millisecond); -1 for undated points and times before 1970.
int64_t PointMilliseconds(const TrackPoint& point);

// The clock a timeline counts in: a point's own time on it (-1 for a point
// without one it can hold), its units in a second, the second since 1970 at
// which it reads 0, the first value it cannot hold, and the value given
// instead of a later one.
struct TimelineClock {
    int64_t (*pointTime)(const TrackPoint& point);
    int64_t perSecond;
    int64_t epoch;
    int64_t limit;
    int64_t beyond;
};

// Milliseconds since 1970 (TCX, GeoJSON).
inline constexpr TimelineClock kMillisecondClock{PointMilliseconds, 1000, 0, INT64_MAX, INT64_MAX / 2};

// The times and the distance of an export list, point by point: each dated
// point keeps its own time; an undated point is timed at 10 km/h along the
// track from the last dated one, in whole seconds. A list whose first point
// has no date is timed entirely that way from the writer's clock
// (CurrentUtcTime).
class ExportTimeline {
public:
    // `extras`: what the track keeps beside its records; a point without
    // altitude adds no climb to the distance (ChordWalker), and the gap
    // between two segments adds no distance.
    ExportTimeline(const ExportEntry* entries, uint32_t count,
                   const TimelineClock& clock = kMillisecondClock,
                   const SensorChannels* extras = nullptr)
        : entries_(entries), count_(count), clock_(clock),
          chords_(extras, extras ? &extras->document : nullptr) {}

    // Whether the first point has a date (the list is timed by its points).
    bool Dated() const;

    void Reset() { index_ = 0; }
    // Moves to the next entry; false after the last.
    bool Next();
    int64_t time() const { return time_; }  // in the clock's units
    double metres() const { return distance_; }  // along the track from the first entry

private:
    const ExportEntry* entries_;
    uint32_t count_;
    TimelineClock clock_;
    uint32_t index_ = 0;
    bool dated_ = false;
    int64_t anchorTime_ = 0, time_ = 0;
    double anchorDistance_ = 0, distance_ = 0;
    ChordWalker chords_;
};

}  // namespace ferolin
