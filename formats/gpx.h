// GPX 1.0 (GPS eXchange): track points, tracks, segments, waypoints and routes
// read from any GPX file (1.0 or 1.1), and written.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/sensors.h"
#include "core/strings.h"
#include "core/track_point.h"
#include "formats/writer_options.h"
#include "formats/xml_track.h"

namespace ferolin {

// Option bits of the GPX writer: the elements each track point carries.
constexpr uint32_t kGpxSatellites = 0x1;
constexpr uint32_t kGpxAltitude = 0x8;
constexpr uint32_t kGpxPdop = 0x10;
constexpr uint32_t kGpxHdop = 0x20;
constexpr uint32_t kGpxVdop = 0x40;
constexpr uint32_t kGpxSpeed = 0x80;
constexpr uint32_t kGpxCourse = 0x100;
constexpr uint32_t kGpxTime = 0x200;

// In the order of the options sheet's boxes.
inline constexpr WriterOption kGpxOptions[] = {
    // bit, name, kind, default, box text, column, row, box name
    {kGpxSatellites, "satellites", kOptionCheck, true, kStrSatelliteNo, 1, 0, "satCheck"},
    {kGpxAltitude, "altitude", kOptionCheck, true, kStrAltitude, 0, 0, "altitudeCheck"},
    {kGpxPdop, "PDOP", kOptionCheck, true, kStrPdop, 1, 1, "dopCheck"},
    {kGpxHdop, "HDOP", kOptionCheck, true, kStrHdop, 1, 2, "hdopCheck"},
    {kGpxVdop, "VDOP", kOptionCheck, true, kStrVdop, 1, 3, "vdopCheck"},
    {kGpxSpeed, "speed", kOptionCheck, true, kStrSpeed, 0, 1, "speedCheck"},
    {kGpxCourse, "course", kOptionCheck, true, kStrDirection, 0, 2, "directionCheck"},
    {kGpxTime, "time", kOptionCheck, true, kStrDateTime, 0, 3, "dateTimeCheck"},
};

// The values of every `trkpt` element, numbered 1, 2, 3 ... in file order,
// with the sensor values of its extensions: `hr`, `cad` and `atemp` of
// Garmin's TrackPointExtension (v1 and v2), `PowerInWatts` of its power
// extension and a bare `power` (as Strava writes it); the speed of the v2
// extension when the point has no `speed` of its own. A `trkpt` without a
// real position (`lat` or `lon` missing, no number, or beyond the earth's
// ranges) gives no point. `time` is read as ISO 8601 and moved to UTC; a
// time that gives no date that exists leaves the point undated. The values a
// point does not carry (no element, or a text that is no number) are marked
// absent in `sensors`.
//
// Beside the points, `sensors->document` receives the file's structure: each
// `trk` a track named by its own `name` child, each `trkseg` a segment; each
// `wpt` a waypoint and each `rte` a route of `rtept` points, with their
// `ele`, `time` (read as a track point's), `name`, `desc` and `sym` (the
// values a place does not give marked in Waypoint::absent). A waypoint or
// route point without a real position is left out. A file of waypoints or
// routes without a track point reads with no point and no failure.
ReadStatus ReadGpxTrack(const std::string& path, TrackPointArray& points, uint32_t& count,
                        SensorChannels* sensors = nullptr);

// GPX 1.0; a track with sensor channels is written as GPX 1.1 with Garmin's
// TrackPointExtension v2 and PowerExtension v1 in every point (speed and
// course move into the extension, GPX 1.1 having no element for them). A
// value the point lacks (its absent marks in `sensors`) gets no element.
//
// The document of `sensors` gives the rest, in the schema's order: the
// waypoints (`wpt`), then the routes (`rte` of `rtept`), each with the values
// it has (ele, time, name, desc, sym; the option word concerns the track
// points only), then one `trk` per track, named by its own name or else by
// the output file's title, with one `trkseg` per segment. With no point to
// write, a document of waypoints or routes still gives a file (and no
// track); without them the writer fails. A plain document writes one track
// of one segment, as it always did.
int WriteGpxTrack(const std::string& path, const ExportEntry* entries, uint32_t count,
                  uint32_t options, const SensorChannels* sensors = nullptr);

}  // namespace ferolin
