// Garmin Training Center Database (TCX v2), the training log of Garmin
// Training Center, Garmin Connect and Strava: the trackpoints of activities
// and courses read with their heart rate, cadence and power; one activity, or
// one course for undated tracks, written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/sensors.h"
#include "core/track_point.h"
#include "core/read_status.h"

namespace ferolin {

// Every `Trackpoint` that has a real `Position`, in document order (the laps
// and tracks of every activity and course), numbered 1, 2, 3 ...: its time,
// position, altitude, heart rate, cadence, and from the activity extension
// (TPX) its speed, power and running cadence. A trackpoint without a real
// position is left out and counted; a time that gives no date that exists
// leaves the point undated. The values a point does not carry are marked
// absent in `sensors`. Beside the points (in `sensors`' document): every
// activity and course is a track, a course named by its Name; every Track
// element begins a segment, but for the first of an activity's lap, which
// goes on with the segment before it (a lap needs a track of its own); an
// activity's Lap is a lap from the next point kept, at its StartTime; a
// course's laps (without start time) begin at its first point and at the
// points at their BeginPosition; CoursePoints are waypoints (Name, Time,
// Position, AltitudeMeters, Notes as description, PointType as symbol).
// Statuses as ReadXmlTrack.
ReadStatus ReadTcxFile(const std::string& path, TrackPointArray& points, uint32_t& count,
                       SensorChannels* sensors = nullptr);

// One activity (Sport "Other") with one lap and one track when the first
// point has a date; else one course named after the output file, timed at
// 10 km/h from the writer's clock. Each trackpoint has its time, position,
// altitude (none for a point that lacks it), distance from the start, and
// the heart rate, cadence, speed and power it has. A document with structure
// gives one activity or course a track (a course named by its track), one
// Lap a lap of the document (its time and distance over its points, the
// pauses left out), one Track a segment; a document with course points makes
// courses, the first holding them (a course point without a time takes the
// time of the nearest point). Takes no option bits.
int WriteTcxFile(const std::string& path, const ExportEntry* entries, uint32_t count,
                 uint32_t options, const SensorChannels* sensors = nullptr);

}  // namespace ferolin
