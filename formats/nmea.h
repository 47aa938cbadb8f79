// NMEA 0183 traces (read, rows "nmea" and "nme") and NMEA files (write, row
// "nmea"), with the field splitter that the NMEA-style formats share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/read_status.h"
#include "core/track_point.h"

namespace ferolin {

// Reads the GGA, RMC and GSA sentences of a trace, one point per group of
// consecutive sentences in which no type repeats. A group without a fix
// gives no point (counted in the read's report): one of its sentences says
// so (a GGA of fix quality 0 or none, an RMC of a status other than "A", an
// empty latitude or longitude), or none of them gives a position on the
// earth. Sentences of the "$GP" talker only; a trace without any "$GPGGA",
// "$GPRMC" or "$GPGSA" line is read from the same sentences of any other
// talker ("$GN", "$GL", "$BD" ...), keeping only the first of consecutive GSA
// sentences. The file is read once. kCannotOpen or kNoMemory when the file
// cannot be opened or memory runs out.
ReadStatus ReadNmeaLog(const std::string& path, TrackPointArray& points, uint32_t& count);

// Writes the GSA, GGA, RMC, GLL and VTG sentences that the option word selects
// (kNmeaGsa ... kNmeaVtg) for each entry. An option word of 0 writes no file
// and succeeds. Status 1 when the file cannot be created or written.
int WriteNmeaFile(const std::string& path, const ExportEntry* entries, uint32_t count,
                  uint32_t options);

}  // namespace ferolin
