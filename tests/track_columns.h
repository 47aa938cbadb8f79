// The columns of the point table for the 55-byte track point and the sensor
// channels beside it, and the status its readers return.
#pragma once

#include <cstddef>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/sensors.h"
#include "core/track_point.h"
#include "data_cases.h"
#include "formats/format_table.h"

namespace ferolin_test {

// A point with the values of its sensor channels (NaN: none) and the
// record fields it lacks (PointField bits).
struct SensedPoint {
    ferolin::TrackPoint point;
    float sensors[ferolin::kSensorCount];
    uint8_t absent;
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
    // Derived from the `-` cells of the record's columns (AbsentColumn).
    {"absent", CellType::kInt8, offsetof(SensedPoint, absent)},
};

// The field bit of a record column whose value a point may lack; 0 for the
// others. A `-` in one of the date and time columns is the time absent.
inline uint8_t FieldOfColumn(const std::string& name) {
    using namespace ferolin;
    if (name == "altitude") return kFieldAltitude;
    if (name == "speed") return kFieldSpeed;
    if (name == "direction") return kFieldCourse;
    if (name == "satellites") return kFieldSatellites;
    if (name == "pdop") return kFieldPdop;
    if (name == "hdop") return kFieldHdop;
    if (name == "vdop") return kFieldVdop;
    if (name == "day" || name == "month" || name == "year" || name == "hour" || name == "minute" ||
        name == "seconds")
        return kFieldTime;
    return 0;
}

// Turns the `-` cells of the record's columns into 0 (what the record holds)
// and adds the column `absent` with their field bits. Returns the bits of
// the columns the table names: only those are compared with a read.
inline uint8_t AbsentColumn(PointTable& table) {
    uint8_t named = 0;
    std::vector<uint8_t> fields(table.header.size());
    for (std::size_t k = 0; k < table.header.size(); ++k) named |= fields[k] = FieldOfColumn(table.header[k]);
    if (table.Has("absent")) return named;
    table.header.push_back("absent");
    for (std::vector<double>& row : table.rows) {
        uint8_t absent = 0;
        for (std::size_t k = 0; k < fields.size() && k < row.size(); ++k)
            if (fields[k] && IsNoValue(row[k])) {
                absent |= fields[k];
                row[k] = 0;
            }
        row.push_back(static_cast<int8_t>(absent));  // the cell's type: vdop is the sign bit
    }
    return named;
}

using ferolin::ReadStatus;
inline bool Failed(ReadStatus status) { return status != ReadStatus::kOk; }

}  // namespace ferolin_test
