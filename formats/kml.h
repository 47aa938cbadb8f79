// KML 2.0 for Google Earth: the track as a line with Start and Stop markers,
// statistics and waypoint markers (written); the coordinates of the line
// strings of placemarks (read), a waypoint marker's heading line left aside.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/sensors.h"
#include "core/strings.h"
#include "core/text_format.h"
#include "core/track_point.h"
#include "formats/writer_options.h"
#include "formats/xml_track.h"

namespace ferolin {

// Option bits of the KML writer.
constexpr uint32_t kKmlStatistics = 0x10000;
constexpr uint32_t kKmlAbsoluteAltitude = 0x100000;
constexpr uint32_t kKmlExtrude = 0x200000;
constexpr uint32_t kKmlWaypoints = 0x400000;
constexpr uint32_t kKmlTessellate = 0x800000;
constexpr uint32_t kKmlHeadingLines = 0x1000000;

// The options sheet has no box for the heading lines (its page stores the
// bit cleared).
inline constexpr WriterOption kKmlOptions[] = {
    // bit, name, kind, default, box text, column, row, box name
    {kKmlStatistics, "statistics folder", kOptionCheck, true, kStrStatistics, 0, 0, "statCheck"},
    {kKmlWaypoints, "one marker per point", kOptionCheck, true, kStrWaypointsList, 0, 1,
     "waypointCheck"},
    {kKmlAbsoluteAltitude, "absolute altitudes", kOptionCheck, true, kStrAbsoluteAltitude, 1, 1,
     "altitudeCheck"},
    {kKmlExtrude, "extruded track line", kOptionCheck, true, kStrVerticalExtrusion, 0, 2,
     "extrudeCheck"},
    {kKmlTessellate, "tessellated track line", kOptionCheck, true, kStrTessellation, 1, 2,
     "tessellateCheck"},
    {kKmlHeadingLines, "heading line", kOptionCheck, true, 0, 0, 0, nullptr},
};

// A point without altitude (its absent mark in `sensors`) is written as a
// "longitude,latitude" tuple on the ground; no description or statistics
// marker names a value a point lacks, and a point without speed or course
// gets no heading line.
int WriteKmlDocument(const std::string& path, const ExportEntry* entries, uint32_t count,
                     uint32_t options, const SensorChannels* sensors = nullptr);

struct GeoPosition {
    double latitude;
    double longitude;
};

// End of a waypoint's heading line: as many metres from the point as its speed
// in km/h, along its direction, on a sphere of radius 6 371 000 m.
GeoPosition ProjectHeadingPoint(double latitude, double longitude, double speed,
                                double direction);

// The coordinates of every LineString inside a Placemark inside kml: tuples
// "longitude,latitude[,altitude]" separated by blanks. A tuple without a real
// position gives no point; a point of two numbers has no altitude. The line
// string of a placemark that also holds a Point of its own (the heading line
// of the writer's waypoint markers) is no track. A line string's points have
// no time or fix quality: `sensors` receives them as absent, with the
// altitude of the two-number tuples.
ReadStatus ReadKmlTrack(const std::string& path, TrackPointArray& points, uint32_t& count,
                        SensorChannels* sensors = nullptr);

// The description texts shared with the one-point KML of the map viewers:
// the date and the altitude, the speed or both, leaving out what the point
// lacks.
void AppendKmlPointDescAlt(TextBuffer& out, const ExportEntry& entry,
                           const SensorChannels* sensors = nullptr);
void AppendKmlPointDescSpeed(TextBuffer& out, const ExportEntry& entry,
                             const SensorChannels* sensors = nullptr);
void AppendKmlPointDescFull(TextBuffer& out, const ExportEntry& entry,
                            const SensorChannels* sensors = nullptr);

}  // namespace ferolin
