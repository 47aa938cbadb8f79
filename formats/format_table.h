// The format table: every file extension the program knows, with its reader,
// its writer, its save-dialog filter, the data types it can carry and the
// options its writer declares.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/read_status.h"
#include "core/sensors.h"
#include "core/track_point.h"
#include "formats/writer_options.h"

namespace ferolin {

// Reads the file at `path` into a new zero-filled array. kOk: `points` and
// `count` hold the track (count may be 0) and the caller owns the array. Any
// other status is a failure and the outputs hold no track. Readers of formats
// that record heart rate, cadence, power or temperature fill `sensors` (when
// not null) with the channels the file carries, aligned with the points; the
// others leave it alone.
using ReaderFn = ReadStatus (*)(const std::string& path, TrackPointArray& points,
                                uint32_t& count, SensorChannels* sensors);

// Creates or replaces the file at `path` from `count` export entries. Status 0
// when done, non-zero (as a rule 1) on failure. The meaning of the option bits
// belongs to each writer. `sensors` holds the track's channels (null or empty
// when it has none), found through each entry's index; writers of formats
// that can hold them write them, only when present.
using WriterFn = int (*)(const std::string& path, const ExportEntry* entries, uint32_t count,
                         uint32_t options, const SensorChannels* sensors);

// Rows served by a GPS device on a serial port instead of a file: the table
// names them, the conversion driver connects them to the port code.
enum class DeviceRow : uint8_t {
    kNone,
    kLoggerDownload,  // reads: the track stored in a GPS data logger
    kNmeaReplay,      // writes: live NMEA sentences, one point a second
};

struct FormatEntry {
    const char* extension;  // lower case, without the dot
    int filterId;           // save-dialog filter string; 0 = not an output format
    ReaderFn reader;
    WriterFn writer;
    uint32_t fieldMask;     // data-type bits the rows' files can carry
    std::span<const WriterOption> options = {};  // its writer's, declared beside its code
    DeviceRow device = DeviceRow::kNone;
    // Whether the writer keeps waypoints and routes, so that an export that
    // keeps no track point but has them still writes a file.
    bool keepsPlaces = false;
};

// A reader or writer of a format without sensor data, in the table's function
// types: the channels are neither filled nor used.
template <auto Read>
ReadStatus WithoutSensors(const std::string& path, TrackPointArray& points, uint32_t& count,
                          SensorChannels* /*sensors*/) {
    return Read(path, points, count);
}
template <auto Write>
int WithoutSensors(const std::string& path, const ExportEntry* entries, uint32_t count,
                   uint32_t options, const SensorChannels* /*sensors*/) {
    return Write(path, entries, count, options);
}

// Whether a row reads (a file reader or the logger download) or writes (a
// file writer or the live replay).
inline bool HasWriter(const FormatEntry& row) {
    return row.writer || row.device == DeviceRow::kNmeaReplay;
}

// The twenty rows, in the order that decides which reader is tried first for
// a shared extension and the order of the output-format list.
std::span<const FormatEntry> FormatTable();

// Index of the first row whose extension equals `extension` (any case) and
// that has a writer; -1 when there is none.
int FindWriterRow(std::string_view extension);

// Option word of a row's writer as named in the settings store: "WRT_" and the
// upper-case extension.
std::string WriterOptionName(std::string_view extension);

// Option word used when none is stored: every option on, as each writer's
// declarations say (checked when the table is compiled).
constexpr uint32_t kAllOptions = 0xFFFFFFFFu;

}  // namespace ferolin
