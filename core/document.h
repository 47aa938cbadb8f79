// What a file holds besides the run of its track points: the tracks and
// segments those points form, the waypoints, the routes and the laps. The
// points themselves stay one array of 55-byte records; the document only
// says where each track and segment starts in it. A file of one unnamed
// track with one segment and nothing else leaves every part empty and costs
// nothing.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/track_point.h"

namespace ferolin {

// A named position: a waypoint of the file, a course point of a watch, or a
// point of a route. Position, altitude and time live in a record as a track
// point holds them (the record's other fields are 0); `absent` holds the
// PointField bits (core/sensors.h) of the values the file does not give.
struct Waypoint {
    TrackPoint point{};
    uint8_t absent = 0;
    std::string name;
    std::string description;
    std::string symbol;  // the symbol or, for a course point, its type
};

// A planned way: named points in order, no times of passage.
struct Route {
    std::string name;
    std::vector<Waypoint> points;
};

// A lap of a training file: the first track point it holds and its start
// time in seconds since 1970-01-01 UTC with fraction (NaN when not given).
struct Lap {
    uint32_t firstPoint = 0;
    double startTime = std::nan("");
};

// One track of the document: its name (empty when the file gives none) and
// the index of its first segment.
struct TrackHead {
    std::string name;
    uint32_t firstSegment = 0;
};

class TrackDocument {
public:
    // The structure of the point array. A document whose structure was never
    // set has one unnamed track of one segment holding every point.
    uint32_t TrackCount() const { return tracks_.empty() ? 1u : static_cast<uint32_t>(tracks_.size()); }
    uint32_t SegmentCount() const { return starts_.empty() ? 1u : static_cast<uint32_t>(starts_.size()); }
    // First point of a segment (0 for the only one).
    uint32_t SegmentStart(uint32_t segment) const { return segment < starts_.size() ? starts_[segment] : 0; }
    // One past the last point of a segment, in a track of `pointCount` points.
    uint32_t SegmentEnd(uint32_t segment, uint32_t pointCount) const {
        return segment + 1 < starts_.size() ? starts_[segment + 1] : pointCount;
    }
    // The segment holding the point at `index`.
    uint32_t SegmentOf(uint32_t index) const;
    // The track holding a segment, and a track's first and one-past-last segment.
    uint32_t TrackOfSegment(uint32_t segment) const;
    uint32_t FirstSegment(uint32_t track) const { return track < tracks_.size() ? tracks_[track].firstSegment : 0; }
    uint32_t EndSegment(uint32_t track) const {
        return track + 1 < tracks_.size() ? tracks_[track + 1].firstSegment : SegmentCount();
    }
    // A track's name; empty when the file gave none.
    const std::string& TrackName(uint32_t track) const;
    // Whether points `a` < `b` lie in different segments: no line, distance or
    // duration is counted between them.
    bool Gap(uint32_t a, uint32_t b) const { return !starts_.empty() && SegmentOf(a) != SegmentOf(b); }
    // Whether the document is one unnamed track of one segment: what every
    // format held before tracks and segments were kept.
    bool OneLine() const { return starts_.size() <= 1 && tracks_.empty(); }
    // Whether it also holds no waypoint, route or lap.
    bool Plain() const { return OneLine() && waypoints.empty() && routes.empty() && laps.empty(); }

    // Building, as a reader meets the file: a new track (which starts a new
    // segment) or a new segment of the current track, whose first point will
    // be the one at `nextPoint` (the count of points read so far). A track or
    // segment that gets no point before the next one starts is dropped.
    void BeginTrack(uint32_t nextPoint, std::string name = {});
    void BeginSegment(uint32_t nextPoint);
    // Names the current track (a name that follows its points in the file).
    void NameTrack(std::string name);
    // Ends the building once the reader kept `pointCount` points: drops the
    // tracks and segments left empty, and returns to the empty structure when
    // what is left is one unnamed track of one segment. Laps beyond the last
    // point are dropped too.
    void Finish(uint32_t pointCount);
    // Sets the whole structure at once (a test's table, a copy): one start per
    // segment, the first 0, in ascending order, and the tracks by their first
    // segment.
    void SetStructure(std::vector<uint32_t> segmentStarts, std::vector<TrackHead> tracks);
    const std::vector<uint32_t>& SegmentStarts() const { return starts_; }
    const std::vector<TrackHead>& Tracks() const { return tracks_; }

    void Clear();
    std::size_t Bytes() const;

    std::vector<Waypoint> waypoints;
    std::vector<Route> routes;
    std::vector<Lap> laps;

private:
    std::vector<uint32_t> starts_;    // first point of each segment, ascending; empty: one segment
    std::vector<TrackHead> tracks_;   // ascending first segments; empty: one unnamed track
};

// Walks an ascending run of point indexes (the export entries of a track)
// and tells where a new track or segment begins, in constant time a step.
class SegmentWalker {
public:
    explicit SegmentWalker(const TrackDocument* document) : document_(document) {}
    // Moves to the point at `index`; true when it lies in another segment
    // than the point of the previous call (false for the first call).
    bool Next(uint32_t index);
    uint32_t Segment() const { return segment_; }
    uint32_t Track() const { return track_; }
    // Segment number within its track, from 0.
    uint32_t SegmentInTrack() const;
    // Whether the last step also changed the track.
    bool NewTrack() const { return newTrack_; }

private:
    const TrackDocument* document_;
    uint32_t segment_ = 0;
    uint32_t track_ = 0;
    bool started_ = false;
    bool newTrack_ = false;
};

// Sets a record's date and time from seconds since 1970-01-01 UTC with
// fraction (the inverse of PointSeconds, core/track_geometry.h); an undated
// record for NaN or a time outside the years 1970-9999.
void SetPointSeconds(TrackPoint& point, double seconds);

}  // namespace ferolin
