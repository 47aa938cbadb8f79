// BlueGPS datalog text (read).
#pragma once

#include <cstdint>
#include <string>

#include "core/read_status.h"
#include "core/track_point.h"

namespace ferolin {

ReadStatus ReadBlueGpsLog(const std::string& path, TrackPointArray& points, uint32_t& count);

}  // namespace ferolin
