// Magellan SD logs: "$PMGNTRK" sentences, one track point each (read through
// the rows "log", "trk" and "upt"; written through "log").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/read_status.h"
#include "core/track_point.h"

namespace ferolin {

// kOk with one point per "$PMGNTRK" line (count 0 when there is none);
// kCannotOpen or kNoMemory otherwise. The file is read once.
ReadStatus ReadMagellanLog(const std::string& path, TrackPointArray& points, uint32_t& count);

// One "$PMGNTRK" line per entry; the option word is not used. Status 1 when
// the file cannot be created or written.
int WriteMagellanLog(const std::string& path, const ExportEntry* entries, uint32_t count,
                     uint32_t options);

}  // namespace ferolin
