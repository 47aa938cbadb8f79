// Garmin PCX5 track file (.trk): read (decimal degrees, degrees-minutes or
// degrees-minutes-seconds) and written (decimal degrees).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/read_status.h"
#include "core/track_point.h"

namespace ferolin {

// kNotThisFormat when the file lacks the "SOFTWARE NAME & VERSION" header, so
// that the next reader of the extension gets its turn.
ReadStatus ReadPcx5Track(const std::string& path, TrackPointArray& points, uint32_t& count);

// Writes the export list; points without a month get the current UTC date and
// time (core/clock.h). The option word is not used.
int WritePcx5Track(const std::string& path, const ExportEntry* entries, uint32_t count,
                   uint32_t options);

}  // namespace ferolin
