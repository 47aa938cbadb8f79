// KML 2.0 for Google Earth: the track as a line with Start and Stop markers,
// statistics and waypoint markers (written); the coordinates of the line
// strings of placemarks (read).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/text_format.h"
#include "core/track_point.h"
#include "formats/xml_track.h"

namespace ferolin {

// Option bits of the KML writer.
constexpr uint32_t kKmlStatistics = 0x10000;
constexpr uint32_t kKmlAbsoluteAltitude = 0x100000;
constexpr uint32_t kKmlExtrude = 0x200000;
constexpr uint32_t kKmlWaypoints = 0x400000;
constexpr uint32_t kKmlTessellate = 0x800000;
constexpr uint32_t kKmlHeadingLines = 0x1000000;

int WriteKmlDocument(const std::string& path, const ExportEntry* entries, uint32_t count,
                     uint32_t options);

struct GeoPosition {
    double latitude;
    double longitude;
};

// End of a waypoint's heading line: as many metres from the point as its speed
// in km/h, along its direction, on a sphere of radius 6 371 000 m.
GeoPosition ProjectHeadingPoint(double latitude, double longitude, double speed,
                                double direction);

// The coordinates of every LineString inside a Placemark inside kml, taken
// three numbers at a time as longitude, latitude and altitude.
ReadStatus ReadKmlTrack(const std::string& path, TrackPointArray& points, uint32_t& count);

// The description texts shared with the one-point KML of the map viewers.
void AppendKmlPointDescAlt(TextBuffer& out, const ExportEntry& entry);
void AppendKmlPointDescSpeed(TextBuffer& out, const ExportEntry& entry);
void AppendKmlPointDescFull(TextBuffer& out, const ExportEntry& entry);

}  // namespace ferolin
