// Live NMEA output: the export list replayed on a serial port as a receiver
// would send it, one point a second, stamped with the current time.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "core/track_point.h"

namespace ferolin {

// Writer of the "com" row. Opens the port that `path` names, sets 8N1 and the
// baud rate of the option word's low 20 bits (a rate the port refuses leaves
// its speed), discards pending input and output, then for each entry sends
// the sentences the option bits select, stamped with the current UTC time and
// date, and waits a second. Status 1 when no port can be opened, else 0.
int SendNmeaToPort(const std::string& path, const ExportEntry* entries, uint32_t count,
                   uint32_t options);

// The same with the wait after each point given.
int SendNmeaToPortPaced(const std::string& path, const ExportEntry* entries, uint32_t count,
                        uint32_t options, std::chrono::milliseconds pace);

}  // namespace ferolin
