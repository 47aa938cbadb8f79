// The format rows that a GPS device serves instead of a file: the logger
// download reads, the live NMEA replay writes. The driver reaches every row's
// reader and writer through these two functions.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "formats/format_table.h"

namespace ferolin {

// The row's reader or writer: its own, or the device's; null when it has none.
ReaderFn ReaderOf(const FormatEntry& row);
WriterFn WriterOf(const FormatEntry& row);

// Writer of the "com" row: the export list replayed on the port that `path`
// names, 8N1 at the baud rate of the option word's low 20 bits, each point's
// sentences (as the option bits select) stamped with the current UTC time and
// date, one point a second. Status 1 when no port can be opened, else 0.
int SendNmeaToPort(const std::string& path, const ExportEntry* entries, uint32_t count,
                   uint32_t options);

// The same with the wait after each point given.
int SendNmeaToPortPaced(const std::string& path, const ExportEntry* entries, uint32_t count,
                        uint32_t options, std::chrono::milliseconds pace);

}  // namespace ferolin
