#include "core/selection.h"

#include <cstdio>

#include "core/sensors.h"
#include "core/strings.h"
#include "core/text_format.h"

namespace ferolin {

const DataTypeRow kDataTypeTable[10] = {
    {kStrAltitude, kDataAltitude},      {kStrSpeed, kDataSpeed},
    {kStrDirection, kDataDirection},    {kStrSatelliteNo, kDataSatellites},
    {kStrLatitude, kDataLatitude},      {kStrLongitude, kDataLongitude},
    {kStrPdop, kDataPdop},              {kStrHdop, kDataHdop},
    {kStrVdop, kDataVdop},              {kStrRecord, kDataRecord},
};

const ComparatorRow kComparatorTable[3] = {
    {kStrIsEqualTo, kCompareEqual},
    {kStrIsGreaterThan, kCompareGreater},
    {kStrIsLessThan, kCompareLess},
};

void SetCriteriaRules(SelectionCriteria& criteria, const std::vector<const ExclusionRule*>& rules,
                      uint32_t fieldMask) {
    criteria.rules.clear();
    criteria.ruleCount = 0;
    criteria.flags &= ~kSelectRules;
    if (rules.empty()) return;
    criteria.flags |= kSelectRules;
    criteria.ruleCount = static_cast<uint32_t>(rules.size());
    criteria.rules.reserve(rules.size());
    for (const ExclusionRule* rule : rules)
        criteria.rules.push_back(rule && (rule->dataType & fieldMask) ? rule : nullptr);
}

bool DescribeRule(const ExclusionRule& rule, std::string& text) {
    const DataTypeRow* type = nullptr;
    for (const auto& row : kDataTypeTable)
        if (row.bit == rule.dataType) type = &row;
    const ComparatorRow* comparator = nullptr;
    for (const auto& row : kComparatorTable)
        if (row.code == rule.comparator) comparator = &row;
    if (!type || !comparator) return false;
    text.clear();
    text += LoadString(type->labelId);
    text += ' ';
    text += LoadString(comparator->labelId);
    text += ' ';
    AppendFixed(text, rule.reference, 6);
    return true;
}

bool PointValue(const TrackPoint& p, uint32_t dataType, double& value) {
    switch (dataType) {
        case kDataAltitude: value = p.altitude; return true;
        case kDataSpeed: value = p.speed; return true;
        case kDataDirection: value = p.direction; return true;
        case kDataSatellites: value = p.satellites; return true;
        case kDataLatitude: value = p.latitude; return true;
        case kDataLongitude: value = p.longitude; return true;
        case kDataPdop: value = p.pdop; return true;
        case kDataHdop: value = p.hdop; return true;
        case kDataVdop: value = p.vdop; return true;
        case kDataRecord: value = p.record; return true;
        default: return false;
    }
}

bool CompareRule(double value, uint32_t comparator, double reference) {
    switch (comparator & 0xFF) {
        case kCompareEqual: return !(value == reference);
        case kCompareLess: return !(value < reference);
        case kCompareGreater: return !(value > reference);
        default: return true;
    }
}

// A bound compares with the points' whole seconds (TrackPointTime cuts the
// fractions off), so a bound taken from a point keeps that point at either end.
static int64_t BoundTime(const TimeBound& b) {
    if (b.day == 0 || b.month == 0 || b.year == 0) return -1;
    return CalendarTime(b.year, b.month, b.day, b.hour, b.minute, b.second);
}

// The time window's bounds as seconds, worked out once per selection rather
// than once per point.
struct WindowBounds {
    int64_t start, stop;
    explicit WindowBounds(const SelectionCriteria& c)
        : start(c.flags & kSelectStart ? BoundTime(c.start) : 0),
          stop(c.flags & kSelectStop ? BoundTime(c.stop) : 0) {}
};

static bool Passes(const TrackPoint& point, const SelectionCriteria& criteria,
                   const WindowBounds& bounds) {
    if (criteria.flags == 0) return true;
    if (criteria.flags & (kSelectStart | kSelectStop)) {
        const int64_t t = TrackPointTime(point);
        if ((criteria.flags & kSelectStart) && t < bounds.start) return false;
        if ((criteria.flags & kSelectStop) && t > bounds.stop) return false;
    }
    if (criteria.flags & kSelectRules) {
        for (const ExclusionRule* rule : criteria.rules) {
            if (!rule) continue;
            double value;
            if (!PointValue(point, rule->dataType, value)) continue;
            if (!CompareRule(value, rule->comparator, rule->reference)) return false;
        }
    }
    return true;
}

std::vector<ExportEntry> BuildExportList(const TrackPoint* points, uint32_t count,
                                         const SelectionCriteria& criteria, const TrackDocument* document) {
    std::vector<ExportEntry> list;
    if (!points || count == 0) return list;
    list.reserve(count);
    const bool geoid = criteria.flags & kSelectGeoid;
    const WindowBounds bounds(criteria);
    for (uint32_t i = 0; i < count; ++i) {
        const TrackPoint& p = points[i];
        if (!Passes(p, criteria, bounds)) continue;
        list.push_back({&p, geoid ? p.altitude - criteria.geoidHeight : p.altitude, i});
    }
    if (criteria.flags & kSelectSmooth) SmoothAltitudes(list, criteria.smoothingWidth, document);
    list.shrink_to_fit();
    return list;
}

std::vector<Waypoint> WaypointsInWindow(const std::vector<Waypoint>& waypoints, const SelectionCriteria& criteria) {
    std::vector<Waypoint> kept;
    const WindowBounds bounds(criteria);
    for (const Waypoint& w : waypoints) {
        const int64_t t = (w.absent & kFieldTime) ? -1 : TrackPointTime(w.point);
        const bool dated = t >= 0;
        if (dated && (criteria.flags & kSelectStart) && t < bounds.start) continue;
        if (dated && (criteria.flags & kSelectStop) && t > bounds.stop) continue;
        kept.push_back(w);
    }
    return kept;
}

void SmoothAltitudes(std::vector<ExportEntry>& entries, uint32_t width, const TrackDocument* document) {
    const size_t n = entries.size();
    if (width == 0 || n < 2) return;
    // Prefix sums of the unsmoothed altitudes make every window mean O(1).
    std::vector<double> prefix(n + 1);
    prefix[0] = 0;
    for (size_t i = 0; i < n; ++i) prefix[i + 1] = prefix[i] + entries[i].altitude;
    // The window is cut at both ends of each segment's run of entries.
    SegmentWalker walker(document);
    size_t runStart = 0, runEnd = 0;
    for (size_t i = 0; i < n; ++i) {
        if (i == runEnd) {
            runStart = i;
            runEnd = i + 1;
            walker.Next(entries[i].index);
            SegmentWalker ahead = walker;
            while (runEnd < n && !ahead.Next(entries[runEnd].index)) ++runEnd;
        }
        const size_t first = i - runStart >= width ? i - width : runStart;
        const size_t last = (runEnd - 1 - i) > width ? i + width : runEnd - 1;
        const double sum = prefix[last + 1] - prefix[first];
        entries[i].altitude = static_cast<float>(sum / static_cast<double>(last - first + 1));
    }
}

bool ParseTimeBound(const std::string& text, TimeBound& bound) {
    int d, mo, y, h, mi, used = 0;
    if (std::sscanf(text.c_str(), "%d/%d/%d %d:%d%n", &d, &mo, &y, &h, &mi, &used) != 5)
        return false;
    // The seconds are optional; when given they are one or two digits right
    // after a second colon, and nothing may follow them.
    int sec = 0;
    const char* rest = text.c_str() + used;
    if (*rest == ':') {
        ++rest;
        int digits = 0;
        for (; digits < 3 && rest[digits] >= '0' && rest[digits] <= '9'; ++digits)
            sec = sec * 10 + (rest[digits] - '0');
        if (digits == 0 || digits > 2) return false;
        rest += digits;
    }
    if (*rest != '\0') return false;
    if (d < 1 || d > 31 || mo < 1 || mo > 12 || y < 1970 || y > 32767 || h < 0 || h > 23 ||
        mi < 0 || mi > 59 || sec > 59)
        return false;
    bound = {};
    bound.day = static_cast<int8_t>(d);
    bound.month = static_cast<int8_t>(mo);
    bound.year = static_cast<int16_t>(y);
    bound.hour = static_cast<int8_t>(h);
    bound.minute = static_cast<int8_t>(mi);
    bound.second = static_cast<int8_t>(sec);
    return true;
}

}  // namespace ferolin
