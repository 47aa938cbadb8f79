// KMZ: a KML document zipped, as Google Earth saves it. Read through the KML
// reader from the archive's KML member; written as KML 2.2 with gx:Tracks.
#pragma once

#include <cstdint>
#include <string>

#include "core/read_status.h"
#include "core/sensors.h"
#include "core/track_point.h"

namespace ferolin {

// Reads the archive's `doc.kml`, else its first member whose name ends in
// ".kml", exactly as ReadKmlTrack reads a file (formats/kml.h), unpacking it
// piece by piece without a copy of the whole. kCannotOpen for what is no
// regular file; kNotThisFormat for a file that is no zip archive, an archive
// without a KML member, or a member that claims more than 1 GiB unpacked or
// more than deflate can pack into the archive's size; kXmlUnreadable for a
// member that cannot be unpacked (damaged, encrypted, an unknown method).
ReadStatus ReadKmzFile(const std::string& path, TrackPointArray& points, uint32_t& count,
                       SensorChannels* sensors);

// A zip archive holding one member, `doc.kml`: a KML 2.2 document named by
// the file's title. Each track is a placemark named by its own name (no name
// when it has none): a gx:Track of `when` times and gx:coord positions
// ("longitude latitude altitude", the altitude left out for a point without
// one), a gx:MultiTrack of them for a track of several segments, with the
// sensor channels as gx:SimpleArrayData arrays of the Schema "sensors"
// declared in the document (an empty gx:value where a point has none); a
// track with an undated point is a LineString (a MultiGeometry of them)
// instead, without channels. The document's waypoints follow as point
// placemarks. The member's date is the writer's clock (SOURCE_DATE_EPOCH,
// core/clock.h) read as UTC, so that the same input gives the same bytes.
// No option bit. 1 when there is neither a point nor a waypoint to write.
int WriteKmzFile(const std::string& path, const ExportEntry* entries, uint32_t count, uint32_t options,
                 const SensorChannels* sensors);

}  // namespace ferolin
