// Garmin FIT, the binary format of sports watches and bike computers, from
// the public protocol description: record messages read as track points with
// their heart rate, cadence, power and temperature; activity and course
// files written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/read_status.h"
#include "core/sensors.h"
#include "core/strings.h"
#include "core/track_point.h"
#include "formats/writer_options.h"

namespace ferolin {

// Option bit of the FIT writer: set, an activity file (records, lap, session,
// activity); cleared, a course file for a navigation device.
constexpr uint32_t kFitActivity = 0x1;

// Its box says what it chooses: "Activity file (cleared: a course for
// navigation)".
inline constexpr WriterOption kFitOptions[] = {
    // bit, name, kind, default, box text, column, row, box name
    {kFitActivity, "activity file", kOptionCheck, true, kStrFitActivity, 0, 0, "activityCheck"},
};

// Seconds from 1970-01-01 to the FIT epoch, 1989-12-31 00:00:00 UTC.
constexpr int64_t kFitEpoch = 631065600;

// The CRC-16 of the protocol (polynomial 0xA001, reflected, initial value 0)
// continued over `size` more bytes.
uint16_t FitCrc(uint16_t crc, const uint8_t* data, std::size_t size);

// Every `record` message with a position on the earth, in file order,
// through every FIT file chained in the regular file at `path`, numbered 1,
// 2, 3 ... Records without one give no point and are counted in the read's
// report. A point lacks (in `sensors`, when not null) the altitude, speed or
// time its record does not give, and always course, satellites and dilutions
// of precision; sensor values no body or device gives are left absent and
// counted. Beside the points (in `sensors`' document): each `lap` message is
// a lap from the first record at or after its start time (a lap that holds
// no record is none); the first record after a timer stop begins a segment;
// each `course_point` with a position is a waypoint named by its name, with
// its type's name in the profile ("summit", "left" ...) as symbol; the
// `course` message names the track. The signature ".FIT" makes a file FIT; a
// damaged file (cut short, or with a wrong header or file CRC) gives the
// points of its complete messages. The totals of the `session` messages,
// summed, become the report's device totals. kOk (count 0 when no record
// holds a position), kCannotOpen, kNotThisFormat (no FIT file header at the
// start) or kNoMemory, with the reason in the report.
ReadStatus ReadFitFile(const std::string& path, TrackPointArray& points, uint32_t& count,
                       SensorChannels* sensors = nullptr);

// One record per entry with timestamp, position, distance, enhanced altitude
// and speed and the sensor channels present; an altitude or speed the point
// lacks is left at the field's invalid value. Points without a date get
// times from the writer's clock onwards at 10 km/h along the track. One lap
// message a lap of the document (one over the whole track when it has none)
// with its start, elapsed and timer time and distance; a timer stop and start
// between two segments. A document with course points makes a course file
// whatever the option, with its course points after the records (possibly
// no record at all); a course is named by its track, else by the file's title.
int WriteFitFile(const std::string& path, const ExportEntry* entries, uint32_t count,
                 uint32_t options, const SensorChannels* sensors = nullptr);

}  // namespace ferolin
