#include "formats/bluegps.h"

#include <cmath>
#include <cstring>
#include <string_view>

#include "core/output_file.h"
#include "core/statistics.h"

namespace ferolin {

namespace {

constexpr std::string_view kCountKey = "About total Numbers: ";
constexpr std::string_view kSeparator = "=====================";

float ToFloat(double v) {
    // Values beyond the float range become infinite rather than undefined.
    if (v > 3.4028234663852886e38) return HUGE_VALF;
    if (v < -3.4028234663852886e38) return -HUGE_VALF;
    return static_cast<float>(v);
}

enum class Key { kRecord, kEventType, kYear, kMonth, kDay, kHour, kMinute, kSecond, kLatitude,
                 kLongitude, kAltitude, kPdop, kHdop, kSatellites, kSpeed, kDirection,
                 kEndOfRecord };

struct KeyLine {
    std::string_view text;
    Key key;
};

// Key lines of a record block, in the order they are tried.
constexpr KeyLine kKeyLines[] = {
    {"Record: ", Key::kRecord},        {"Event Type: ", Key::kEventType},
    {"Year: ", Key::kYear},            {"Month: ", Key::kMonth},
    {"Day: ", Key::kDay},              {"Hour: ", Key::kHour},
    {"Minute: ", Key::kMinute},        {"Second: ", Key::kSecond},
    {"Latitude: ", Key::kLatitude},    {"Longitude: ", Key::kLongitude},
    {"Altitude: ", Key::kAltitude},    {"PDOP: ", Key::kPdop},
    {"HDOP: ", Key::kHdop},            {"Satellite No: ", Key::kSatellites},
    {"Speed(KMs/hr): ", Key::kSpeed},  {"Direction: ", Key::kDirection},
    {kSeparator, Key::kEndOfRecord},
};

bool StartsWith(std::string_view line, std::string_view key) {
    return line.size() >= key.size() && std::memcmp(line.data(), key.data(), key.size()) == 0;
}

// Applies one line of a record block to the point; true when it was the
// separator that closes the record.
bool ApplyLine(std::string_view line, TrackPoint& p) {
    if (line.empty()) return false;
    for (const KeyLine& k : kKeyLines) {
        if (line[0] != k.text[0] || !StartsWith(line, k.text)) continue;
        const std::string_view v = line.substr(k.text.size());
        switch (k.key) {
            case Key::kRecord: p.record = ParseInt(v); break;
            case Key::kEventType: break;
            case Key::kYear: p.year = static_cast<int16_t>(ParseInt(v)); break;
            case Key::kMonth: p.month = static_cast<int8_t>(ParseInt(v)); break;
            case Key::kDay: p.day = static_cast<int8_t>(ParseInt(v)); break;
            case Key::kHour: p.hour = static_cast<int8_t>(ParseInt(v)); break;
            case Key::kMinute: p.minute = static_cast<int8_t>(ParseInt(v)); break;
            case Key::kSecond: p.seconds = ToFloat(ParseReal(v)); break;
            case Key::kLatitude: p.latitude = ParseReal(v); break;
            case Key::kLongitude: p.longitude = ParseReal(v); break;
            case Key::kAltitude: p.altitude = ToFloat(ParseReal(v)); break;
            case Key::kPdop: p.pdop = ToFloat(ParseReal(v)); break;
            case Key::kHdop: p.hdop = ToFloat(ParseReal(v)); break;
            case Key::kSatellites: p.satellites = static_cast<int8_t>(ParseInt(v)); break;
            case Key::kSpeed: p.speed = ToFloat(ParseReal(v)); break;
            case Key::kDirection: p.direction = ToFloat(ParseReal(v)); break;
            case Key::kEndOfRecord: return true;
        }
        return false;
    }
    return false;
}

}  // namespace

int ReadBlueGpsLines(LineReader& lines, TrackPointArray& points, uint32_t& count) {
    points.reset();
    count = 0;
    std::string_view line;

    // The declared record count: the first non-zero "About total Numbers: ".
    int declared = 0;
    while (declared == 0) {
        if (!lines.Next(line)) return 1;
        if (StartsWith(line, kCountKey)) declared = ParseInt(line.substr(kCountKey.size()));
    }
    // A count below zero, or above the number of bytes in the file, cannot
    // describe records the file holds: the header is damaged.
    if (declared < 0 || static_cast<std::size_t>(declared) > lines.TotalSize()) return 1;
    TrackPointArray array = AllocateTrackPoints(static_cast<std::size_t>(declared));
    if (!array) return 1;
    const uint32_t n = static_cast<uint32_t>(declared);

    // Everything up to the first separator is header.
    bool inRecords = false;
    while (lines.Next(line)) {
        if (StartsWith(line, kSeparator)) {
            inRecords = true;
            break;
        }
    }
    uint32_t i = 0;
    while (inRecords && i < n && lines.Next(line)) {
        if (ApplyLine(line, array[i])) ++i;
    }
    points = std::move(array);
    count = n;
    return 0;
}

int ReadBlueGpsLog(const std::string& path, TrackPointArray& points, uint32_t& count) {
    LineReader lines(1023);
    if (!lines.Open(path)) {
        points.reset();
        count = 0;
        return 1;
    }
    return ReadBlueGpsLines(lines, points, count);
}

void AppendCell(TextBuffer& out, ColumnValue value, const ExportEntry& e, int yearWidth) {
    const TrackPoint& p = *e.point;
    switch (value) {
        case ColumnValue::kRecord: AppendInt(out, p.record, 5); break;
        case ColumnValue::kDate:
            AppendInt(out, p.day, 2);
            out.Append('/');
            AppendInt(out, p.month, 2);
            out.Append('/');
            AppendInt(out, p.year, yearWidth);
            break;
        case ColumnValue::kTime:
            AppendInt(out, p.hour, 2);
            out.Append(':');
            AppendInt(out, p.minute, 2);
            out.Append(':');
            AppendFixedPadded(out, p.seconds, 3, 6);
            break;
        case ColumnValue::kLatitude: AppendFixed(out, p.latitude, 6); break;
        case ColumnValue::kLongitude: AppendFixed(out, p.longitude, 6); break;
        case ColumnValue::kAltitude: AppendFixed(out, e.altitude, 6); break;
        case ColumnValue::kPdop: AppendFixed(out, p.pdop, 6); break;
        case ColumnValue::kHdop: AppendFixed(out, p.hdop, 6); break;
        case ColumnValue::kVdop: AppendFixed(out, p.vdop, 6); break;
        case ColumnValue::kSatellites: AppendInt(out, p.satellites); break;
        case ColumnValue::kSpeed: AppendFixed(out, p.speed, 6); break;
        case ColumnValue::kDirection: AppendFixed(out, p.direction, 6); break;
    }
}

void AppendStatisticsBlock(TextBuffer& out, const ExportEntry* entries, uint32_t count) {
    TrackStatistics s;
    ComputeTrackStatistics(entries, count, s);

    AppendInt(out, count);
    out.Append(" records\r\n");
    out.Append("Distance ");
    AppendFixed(out, s.distanceKm, 3);
    out.Append(" KMs\r\n");
    // Hours are not reduced modulo 24; a negative duration keeps C's signs.
    const int32_t d = s.durationSeconds;
    out.Append("Duration ");
    AppendInt(out, d / 3600, 2);
    out.Append(':');
    AppendInt(out, (d / 60) % 60, 2);
    out.Append(':');
    AppendInt(out, d % 60, 2);
    out.Append("\r\n");

    // Each line only when its value is not 0.
    auto line = [&out](const char* label, double value, const char* unit, const TrackPoint* at) {
        if (value == 0) return;
        out.Append(label);
        AppendFixed(out, value, 2);
        out.Append(unit);
        if (at) {
            out.Append(", record ");
            AppendInt(out, at->record);
        }
        out.Append("\r\n");
    };
    const ExportEntry& fastest = entries[s.maxSpeedIndex];
    const ExportEntry& lowest = entries[s.minAltitudeIndex];
    const ExportEntry& highest = entries[s.maxAltitudeIndex];
    line("Max Speed ", fastest.point->speed, " KMs/hr", fastest.point);
    line("Min Altitude ", lowest.altitude, " Meters", lowest.point);
    line("Max Altitude ", highest.altitude, " Meters", highest.point);
    line("Average Speed ", s.averageSpeed, " KMs/hr", nullptr);
    line("Average Speed (without stop) ", s.averageSpeedNoStop, " KMs/hr", nullptr);
}

namespace {

// Columns of the text table, in the order they are written.
constexpr TableColumn kTextColumnTable[] = {
    {0x8000, "Record: ", ColumnValue::kRecord},
    {0x200, "Date: ", ColumnValue::kDate},
    {0x1000, "Time: ", ColumnValue::kTime},
    {0x2, "Latitude: ", ColumnValue::kLatitude},
    {0x4, "Longitude: ", ColumnValue::kLongitude},
    {0x8, "Altitude(Meters): ", ColumnValue::kAltitude},
    {0x10, "PDOP: ", ColumnValue::kPdop},
    {0x20, "HDOP: ", ColumnValue::kHdop},
    {0x40, "VDOP: ", ColumnValue::kVdop},
    {0x1, "Satellite No: ", ColumnValue::kSatellites},
    {0x80, "Speed(KMs/hr): ", ColumnValue::kSpeed},
    {0x100, "Direction: ", ColumnValue::kDirection},
};

}  // namespace

int WriteTextTable(const std::string& path, const ExportEntry* entries, uint32_t count,
                   uint32_t options) {
    if (options == 0) return 0;
    OutputFile file;
    if (!file.Create(path)) return 1;
    TextBuffer& out = file.Buffer();

    out.Append(kGeneratedByLine);
    if (options & kOptionStatistics) AppendStatisticsBlock(out, entries, count);
    out.Append("\r\n");

    // Every selected cell, the header's too, is followed by a tab.
    for (const TableColumn& c : kTextColumnTable) {
        if (!(options & c.bit)) continue;
        out.Append(c.header);
        out.Append('\t');
    }
    out.Append("\r\n");
    for (uint32_t i = 0; i < count; ++i) {
        for (const TableColumn& c : kTextColumnTable) {
            if (!(options & c.bit)) continue;
            AppendCell(out, c.value, entries[i], 4);
            out.Append('\t');
        }
        out.Append("\r\n");
        file.Flush();
    }
    return file.Commit() ? 0 : 1;
}

}  // namespace ferolin
