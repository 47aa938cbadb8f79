// IGN Rando hikes (.rdn): an XML document in windows-1252 with one ETAPE
// (stage) per point, carrying its position and altitude.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/track_point.h"
#include "formats/xml_track.h"

namespace ferolin {

// Every ETAPE element, numbered 1, 2, 3 ... in file order, with its POSITION
// ("latitude,longitude") and ALTITUDE.
ReadStatus ReadRandoHike(const std::string& path, TrackPointArray& points, uint32_t& count);

// Positions and output altitudes only; the option word is not used.
int WriteRandoHike(const std::string& path, const ExportEntry* entries, uint32_t count,
                   uint32_t options);

}  // namespace ferolin
