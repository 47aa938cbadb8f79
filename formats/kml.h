// KML for Google Earth: the tracks as lines with Start and Stop markers,
// statistics and per-point markers, and the document's waypoints (written);
// the placemarks' points as waypoints and their line strings and gx:Tracks as
// tracks (read), the markers of the files Ferolin wrote left aside.
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
// gets no heading line. Each track of the document is a placemark named by
// its own name (else "Track (N records)"), each of its segments a line
// string, in a MultiGeometry when it has several; the document's waypoints
// follow as point placemarks. Such a document is KML 2.2; a plain one (one
// unnamed track of one segment, nothing else) is KML 2.0 as it always was.
// With no point to write, the waypoints alone are written, or nothing (1).
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

// Every Placemark inside kml, at any depth. A placemark with a Point of its
// own is a waypoint: its name, description, TimeStamp (with its zone, in
// UTC) and the first tuple of the point, whose third number is its altitude.
// A placemark holding LineStrings or gx:Tracks (alone, in a MultiGeometry or
// a gx:MultiTrack) is a track named by the placemark's name, each line or
// gx:Track a segment. A line's coordinates are tuples
// "longitude,latitude[,altitude]" separated by blanks; a gx:Track pairs its
// `when` times with its gx:coord positions "longitude latitude [altitude]"
// in order, and its gx:SimpleArrayData arrays named heartrate, cadence,
// power or temperature give the points' sensor values. A position that is no
// real place gives no point; a point without a third number has no
// altitude; a point of a line has no time; no point has fix quality. A line
// beside a Point of the same placemark (the heading line of the per-point
// markers) is no track. In a file Ferolin wrote (its credit heads the
// document), the point placemarks with a style of their own or the markers'
// shared style are markers, not waypoints, and a track named
// "Track (N records)" is unnamed. A file of waypoints alone reads as kOk
// with no point.
ReadStatus ReadKmlTrack(const std::string& path, TrackPointArray& points, uint32_t& count,
                        SensorChannels* sensors = nullptr);

// The same from a document that is no file of its own (a KMZ archive's
// member): at most `size` bytes from `source`.
ReadStatus ReadKmlFrom(XmlByteSource& source, std::size_t size, TrackPointArray& points, uint32_t& count,
                       SensorChannels* sensors = nullptr);

// A waypoint as a point placemark: its name, description, TimeStamp and
// position, its altitude with the absolute mode when `absolute` (a waypoint
// without altitude lies on the ground); `eol` ends each line.
void AppendKmlWaypoint(TextBuffer& out, const Waypoint& waypoint, bool absolute, std::string_view eol);

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
