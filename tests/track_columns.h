// The columns of the point table for the 55-byte track point, and the
// status its readers return.
#pragma once

#include <cstddef>
#include <string>
#include <type_traits>

#include "core/track_point.h"
#include "data_cases.h"
#include "formats/format_table.h"

namespace ferolin_test {

inline constexpr Column kTrackColumns[] = {
    {"record", CellType::kInt32, offsetof(ferolin::TrackPoint, record)},
    {"day", CellType::kInt8, offsetof(ferolin::TrackPoint, day)},
    {"month", CellType::kInt8, offsetof(ferolin::TrackPoint, month)},
    {"year", CellType::kInt16, offsetof(ferolin::TrackPoint, year)},
    {"hour", CellType::kInt8, offsetof(ferolin::TrackPoint, hour)},
    {"minute", CellType::kInt8, offsetof(ferolin::TrackPoint, minute)},
    {"seconds", CellType::kFloat, offsetof(ferolin::TrackPoint, seconds)},
    {"latitude", CellType::kDouble, offsetof(ferolin::TrackPoint, latitude)},
    {"longitude", CellType::kDouble, offsetof(ferolin::TrackPoint, longitude)},
    {"altitude", CellType::kFloat, offsetof(ferolin::TrackPoint, altitude)},
    {"pdop", CellType::kFloat, offsetof(ferolin::TrackPoint, pdop)},
    {"hdop", CellType::kFloat, offsetof(ferolin::TrackPoint, hdop)},
    {"vdop", CellType::kFloat, offsetof(ferolin::TrackPoint, vdop)},
    {"speed", CellType::kFloat, offsetof(ferolin::TrackPoint, speed)},
    {"direction", CellType::kFloat, offsetof(ferolin::TrackPoint, direction)},
    {"satellites", CellType::kInt8, offsetof(ferolin::TrackPoint, satellites)},
};

// A reader's status; every value but the zero one is a failure.
using ReadStatus = std::invoke_result_t<ferolin::ReaderFn, const std::string&, ferolin::TrackPointArray&, uint32_t&>;
inline bool Failed(ReadStatus status) { return status != ReadStatus{}; }

}  // namespace ferolin_test
