// OziExplorer track point file (.plt, "OziExplorer Track Point File Version
// 2.1"): read and written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/read_status.h"
#include "core/track_point.h"

namespace ferolin {

ReadStatus ReadOziTrack(const std::string& path, TrackPointArray& points, uint32_t& count);

// Writes the export list; the track is named after the output file's title.
// The option word is not used.
int WriteOziTrack(const std::string& path, const ExportEntry* entries, uint32_t count,
                  uint32_t options);

}  // namespace ferolin
