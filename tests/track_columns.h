// The columns of the point table for the 55-byte track point and the sensor
// channels beside it, and the status its readers return.
#pragma once

#include <cstddef>
#include <string>
#include <cmath>

#include "core/sensors.h"
#include "core/track_point.h"
#include "data_cases.h"
#include "formats/format_table.h"

namespace ferolin_test {

// A point with the values of its sensor channels (NaN: none).
struct SensedPoint {
    ferolin::TrackPoint point;
    float sensors[ferolin::kSensorCount];
};

inline const Column kTrackColumns[] = {
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
inline const Column kSensedColumns[] = {
    kTrackColumns[0], kTrackColumns[1], kTrackColumns[2], kTrackColumns[3], kTrackColumns[4], kTrackColumns[5],
    kTrackColumns[6], kTrackColumns[7], kTrackColumns[8], kTrackColumns[9], kTrackColumns[10], kTrackColumns[11],
    kTrackColumns[12], kTrackColumns[13], kTrackColumns[14], kTrackColumns[15],
    {"heart_rate", CellType::kFloat, offsetof(SensedPoint, sensors) + 0, std::nan("")},
    {"cadence", CellType::kFloat, offsetof(SensedPoint, sensors) + 4, std::nan("")},
    {"power", CellType::kFloat, offsetof(SensedPoint, sensors) + 8, std::nan("")},
    {"temperature", CellType::kFloat, offsetof(SensedPoint, sensors) + 12, std::nan("")},
};

using ferolin::ReadStatus;
inline bool Failed(ReadStatus status) { return status != ReadStatus::kOk; }

}  // namespace ferolin_test
