#include "formats/bluegps.h"

#include <cmath>
#include <cstring>
#include <string_view>

#include "core/line_reader.h"
#include "core/text_format.h"

namespace ferolin {

namespace {

constexpr std::string_view kCountKey = "About total Numbers: ";
constexpr std::string_view kSeparator = "=====================";

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

ReadStatus ReadBlueGpsLines(LineReader& lines, TrackPointArray& points, uint32_t& count) {
    points.reset();
    count = 0;
    std::string_view line;

    // The declared record count: the first non-zero "About total Numbers: ".
    int declared = 0;
    while (declared == 0) {
        if (!lines.Next(line)) return ReadStatus::kNotThisFormat;
        if (StartsWith(line, kCountKey)) declared = ParseInt(line.substr(kCountKey.size()));
    }
    // A count below zero, or above the number of bytes in the file, cannot
    // describe records the file holds: the header is damaged.
    if (declared < 0 || static_cast<std::size_t>(declared) > lines.TotalSize())
        return ReadStatus::kNotThisFormat;
    TrackPointArray array = AllocateTrackPoints(static_cast<std::size_t>(declared));
    if (!array) return ReadStatus::kNoMemory;
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
    return ReadStatus::kOk;
}

}  // namespace

ReadStatus ReadBlueGpsLog(const std::string& path, TrackPointArray& points, uint32_t& count) {
    return ReadSourceLines(path, 1023, points, count, ReadBlueGpsLines);
}

}  // namespace ferolin
