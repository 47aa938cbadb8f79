// Which points an export writes and with which altitude: the time window, the
// exclusion rules, the geoid correction and the altitude smoothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/document.h"
#include "core/track_point.h"

namespace ferolin {

// Data-type bits: the rule data types, the field masks of the format table and
// the column bits of the text and CSV writers.
enum DataType : uint32_t {
    kDataSatellites = 0x1,
    kDataLatitude = 0x2,
    kDataLongitude = 0x4,
    kDataAltitude = 0x8,
    kDataPdop = 0x10,
    kDataHdop = 0x20,
    kDataVdop = 0x40,
    kDataSpeed = 0x80,
    kDataDirection = 0x100,
    kDataRecord = 0x8000,
};

enum Comparator : uint32_t {
    kCompareEqual = 1,
    kCompareLess = 2,
    kCompareGreater = 4,
};

// 16 bytes, stored as they are in the settings store.
#pragma pack(push, 1)
struct ExclusionRule {
    uint32_t dataType;
    uint32_t comparator;  // only the low byte is evaluated
    double reference;
};
#pragma pack(pop)
static_assert(sizeof(ExclusionRule) == 16);

// Rows of the "Data type" and "Comparator" drop-down lists, in list order.
struct DataTypeRow {
    int labelId;
    uint32_t bit;
};
struct ComparatorRow {
    int labelId;
    uint32_t code;
};
extern const DataTypeRow kDataTypeTable[10];
extern const ComparatorRow kComparatorTable[3];

enum SelectionFlags : uint32_t {
    kSelectStart = 0x1,
    kSelectStop = 0x2,
    kSelectRules = 0x4,
    kSelectGeoid = 0x8,
    kSelectSmooth = 0x10,
};

struct TimeBound {
    int16_t year;
    int8_t month;
    int8_t day;
    int8_t hour;
    int8_t minute;
    int8_t second;
};

struct SelectionCriteria {
    uint32_t flags = 0;
    uint32_t ruleCount = 0;
    float geoidHeight = 0;
    uint32_t smoothingWidth = 0;
    // One slot per rule of the list, borrowed; empty where the rule's data type
    // is not carried by the loaded format.
    std::vector<const ExclusionRule*> rules;
    TimeBound start{};
    TimeBound stop{};
};

// Fills the rule slots of `criteria` from the rule list, leaving a slot empty
// when the rule's data type and the field mask share no bit.
void SetCriteriaRules(SelectionCriteria& criteria, const std::vector<const ExclusionRule*>& rules,
                      uint32_t fieldMask);

// Text shown in the rule list ("Altitude is less than 0.000000"); false when
// the data type or the comparator is not in the tables.
bool DescribeRule(const ExclusionRule& rule, std::string& text);

// The point's value for a data type, as a 64-bit real; false for unknown types.
bool PointValue(const TrackPoint& point, uint32_t dataType, double& value);

// True when the point stays (the rule does not exclude it).
bool CompareRule(double value, uint32_t comparator, double reference);

// Export list of the points that pass, in array order, with their output
// altitudes and their indexes in the array (which keep the sensor channels
// aligned with the kept points). Empty when nothing passes. `document`, when
// given, keeps the smoothing within each segment.
std::vector<ExportEntry> BuildExportList(const TrackPoint* points, uint32_t count,
                                         const SelectionCriteria& criteria, const TrackDocument* document = nullptr);

// The waypoints an export keeps: the time window drops the dated ones
// outside it; undated ones and every waypoint without a window stay.
std::vector<Waypoint> WaypointsInWindow(const std::vector<Waypoint>& waypoints, const SelectionCriteria& criteria);

// Replaces each entry's altitude with the mean over the entries i-width..i+width
// (cut at both ends of the list and, with `document`, of each segment),
// computed from the altitudes before smoothing.
void SmoothAltitudes(std::vector<ExportEntry>& entries, uint32_t width, const TrackDocument* document = nullptr);

// Parses the "%d/%d/%d %d:%d" text of a time bound (day/month/year
// hour:minute), which may end in ":SS" (seconds 0 to 59; 0 without them);
// false when it is not of that form or a field is out of its calendar range.
bool ParseTimeBound(const std::string& text, TimeBound& bound);

}  // namespace ferolin
