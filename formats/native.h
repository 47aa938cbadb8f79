// The program's own track file (.frn): a short header and the exported points
// as raw 55-byte records, the altitude replaced by the exported one.
#pragma once

#include <cstdint>
#include <string>

#include "core/read_status.h"
#include "core/track_point.h"

namespace ferolin {

ReadStatus ReadNativeTrack(const std::string& path, TrackPointArray& points, uint32_t& count);

// Writes the export list. The option word is not used.
int WriteNativeTrack(const std::string& path, const ExportEntry* entries, uint32_t count,
                     uint32_t options);

}  // namespace ferolin
