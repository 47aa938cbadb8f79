// BlueGPS datalog text (read).
#pragma once

#include <cstdint>
#include <string>

#include "core/line_reader.h"
#include "core/track_point.h"

namespace ferolin {

ReadStatus ReadBlueGpsLog(const std::string& path, TrackPointArray& points, uint32_t& count);
// The same from an opened line reader (pieces of at most 1023 characters).
ReadStatus ReadBlueGpsLines(LineReader& lines, TrackPointArray& points, uint32_t& count);

}  // namespace ferolin
