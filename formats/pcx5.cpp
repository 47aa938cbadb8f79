#include "formats/pcx5.h"

#include <cmath>

#include "core/calendar.h"
#include "core/clock.h"
#include "core/line_reader.h"
#include "core/output_file.h"
#include "core/text_format.h"
#include "core/version.h"
#include "formats/text_fields.h"

namespace ferolin {

namespace {

constexpr std::size_t kPiece = 199;
constexpr std::string_view kHeaderMark = "SOFTWARE NAME & VERSION";
constexpr std::string_view kUnitKey = "LAT LON";

enum class Unit { kDeg, kDms, kDm };

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool StartsWithIgnoreCase(const char* p, const char* end, std::string_view word) {
    if (static_cast<std::size_t>(end - p) < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        char c = p[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != word[i]) return false;
    }
    return true;
}

// The unit named after "LAT LON"; false when the line names none of the three.
bool ParseUnit(std::string_view line, Unit& unit) {
    const std::size_t at = line.find(kUnitKey);
    if (at == std::string_view::npos) return false;
    const char* p = line.data() + at + kUnitKey.size();
    const char* end = line.data() + line.size();
    while (p < end && IsBlank(*p)) ++p;
    // "DMS" before "DM", each compared over its own length.
    if (StartsWithIgnoreCase(p, end, "DEG")) unit = Unit::kDeg;
    else if (StartsWithIgnoreCase(p, end, "DMS")) unit = Unit::kDms;
    else if (StartsWithIgnoreCase(p, end, "DM")) unit = Unit::kDm;
    else return false;
    return true;
}

// A latitude (degreeDigits 2) or longitude (3) field in the file's unit, with
// an optional leading sign or hemisphere letter.
double ParseCoordinate(const char* p, const char* end, Unit unit, char positive, char negative,
                       std::size_t degreeDigits) {
    double sign = 1;
    if (p < end && (*p == '+' || *p == positive)) {
        ++p;
    } else if (p < end && (*p == '-' || *p == negative)) {
        sign = -1;
        ++p;
    }
    if (unit == Unit::kDeg) return sign * ParseReal(p, end);
    // Values not scanned stay 0.
    int degrees = 0, minutes = 0;
    double seconds = 0, decimalMinutes = 0;
    if (unit == Unit::kDms) {
        if (scan::Int(p, end, degrees, degreeDigits) && scan::Int(p, end, minutes, 2))
            scan::Real(p, end, seconds);
        return sign * (degrees + minutes / 60.0 + seconds / 3600.0);
    }
    if (scan::Int(p, end, degrees, degreeDigits)) scan::Real(p, end, decimalMinutes);
    return sign * (degrees + decimalMinutes / 60.0);
}

// "%2d-%3s-%2d": day, month abbreviation, two-digit year.
void ParseDate(const char* p, const char* end, TrackPoint& t) {
    int day = 0, year = 0;
    std::string_view month;
    if (scan::Int(p, end, day, 2) && scan::Literal(p, end, '-') && scan::Word(p, end, month, 3) &&
        scan::Literal(p, end, '-'))
        scan::Int(p, end, year, 2);
    if (day < 1) day = 1;
    const int m = MonthFromAbbreviation(month);
    t.day = static_cast<int8_t>(day);
    t.month = static_cast<int8_t>(m ? m : 1);
    t.year = static_cast<int16_t>(year < 70 ? 2000 + year : 1900 + year);
}

// "%2d:%2d:%f": hour, minute, seconds with their fraction.
void ParseTime(const char* p, const char* end, TrackPoint& t) {
    int hour = 0, minute = 0;
    double seconds = 0;
    if (scan::Int(p, end, hour, 2) && scan::Literal(p, end, ':') && scan::Int(p, end, minute, 2) &&
        scan::Literal(p, end, ':'))
        scan::Real(p, end, seconds);
    t.hour = static_cast<int8_t>(hour);
    t.minute = static_cast<int8_t>(minute);
    t.seconds = ToFloat(seconds);
}

// One T line: latitude, longitude, date and time, each followed by blanks,
// then the altitude as the rest of the line. A field that no blank follows
// ends the line; the record keeps what was set before it.
void ParsePointLine(std::string_view line, Unit unit, TrackPoint& t) {
    const char* p = line.data() + 1;  // after the "T"
    const char* end = line.data() + line.size();
    for (int field = 0; field < 4; ++field) {
        while (p < end && IsBlank(*p)) ++p;
        const char* start = p;
        while (p < end && !IsBlank(*p)) ++p;
        if (p == end) return;
        switch (field) {
            case 0: t.latitude = ParseCoordinate(start, p, unit, 'N', 'S', 2); break;
            case 1: t.longitude = ParseCoordinate(start, p, unit, 'E', 'W', 3); break;
            case 2: ParseDate(start, p, t); break;
            case 3: ParseTime(start, p, t); break;
        }
    }
    const double altitude = ParseReal(p, end);
    // -9999 stands for a missing altitude.
    t.altitude = altitude == -9999 ? 0.0f : ToFloat(altitude);
}

}  // namespace

// Two passes: count the T lines, then parse those after the header mark.
ReadStatus ReadPcx5Track(const std::string& path, TrackPointArray& points, uint32_t& count) {
    points.reset();
    count = 0;
    uint32_t tLines = 0;
    {
        LineReader reader(kPiece);
        if (!reader.Open(path)) return ReadStatus::kCannotOpen;
        std::string_view line;
        while (tLines < 0x7FFFFFFFu && reader.Next(line))
            if (!line.empty() && line[0] == 'T') ++tLines;
    }
    TrackPointArray array;
    if (tLines > 0) {
        array = AllocateTrackPoints(tLines);
        if (!array) return ReadStatus::kNoMemory;
    }

    LineReader reader(kPiece);
    if (!reader.Open(path)) return ReadStatus::kCannotOpen;
    bool marked = false;
    Unit unit = Unit::kDeg;
    uint32_t parsed = 0;
    std::string_view line;
    // The file may have changed since the count: never parse more T lines
    // than were counted.
    while (reader.Next(line)) {
        if (line.empty()) continue;
        const char kind = line[0];
        if (kind == 'H') {
            if (line.find(kHeaderMark) != std::string_view::npos) marked = true;
        } else if (kind == 'U' && marked) {
            if (!ParseUnit(line, unit)) break;
        } else if (kind == 'T' && marked) {
            if (parsed == tLines) break;
            TrackPoint& t = array[parsed];
            ParsePointLine(line, unit, t);
            t.record = static_cast<int32_t>(++parsed);
        }
    }
    if (!marked) return ReadStatus::kNotThisFormat;
    points = std::move(array);
    count = parsed;
    return ReadStatus::kOk;
}

namespace {

// "%+011.7f" / "%+012.7f" with the sign replaced by the hemisphere letter
// (the positive one for 0).
void AppendHemisphere(TextBuffer& out, double value, int width, char positive, char negative) {
    const char letter = value >= 0 ? positive : negative;
    if (!std::isfinite(value)) {
        for (int i = 4; i < width; ++i) out.Append(' ');
        out.Append(letter);
        out.Append(std::isnan(value) ? "nan" : "inf");
        return;
    }
    out.Append(letter);
    AppendFixedPadded(out, std::fabs(value), 7, width - 1);
}

void AppendDateTime(TextBuffer& out, int day, int month, int year, int hour, int minute,
                    int second) {
    AppendInt(out, day, 2);
    out.Append('-');
    out.Append(MonthAbbreviations[month - 1]);
    out.Append('-');
    AppendInt(out, year % 100, 2);
    out.Append(' ');
    AppendClockTime(out, hour, minute, second);
}

}  // namespace

int WritePcx5Track(const std::string& path, const ExportEntry* entries, uint32_t count,
                   uint32_t /*options*/) {
    // Points without a date all carry the time the writing started.
    const UtcDateTime now = CurrentUtcDateTime();
    OutputFile file;
    if (!file.Create(path)) return 1;
    TextBuffer& out = file.Buffer();
    out.Append(
        "H  SOFTWARE NAME & VERSION\r\n"
        "I  PCX5 2.09 by Ferolin " FEROLIN_VERSION "\r\n"
        "\r\n"
        "H  R DATUM                IDX DA            DF            DX            DY            DZ\r\n"
        "M  G WGS 84               121 +0.000000e+00 +0.000000e+00 +0.000000e+00 +0.000000e+00 "
        "+0.000000e+00\r\n"
        "\r\n"
        "H  COORDINATE SYSTEM\r\n"
        "U  LAT LON DEG\r\n"
        "\r\n"
        "H  LATITUDE    LONGITUDE    DATE      TIME     ALT    ;track\r\n");
    for (uint32_t i = 0; i < count; ++i) {
        const ExportEntry& e = entries[i];
        const TrackPoint& p = *e.point;
        out.Append("T  ");
        AppendHemisphere(out, p.latitude, 11, 'N', 'S');
        out.Append(' ');
        AppendHemisphere(out, p.longitude, 12, 'E', 'W');
        out.Append(' ');
        if (p.month >= 1 && p.month <= 12)
            AppendDateTime(out, p.day, p.month, p.year, p.hour, p.minute,
                           TruncateTo<int>(p.seconds));
        else
            AppendDateTime(out, now.day, now.month, now.year, now.hour, now.minute, now.second);
        out.Append(' ');
        AppendFixedPadded(out, e.altitude, 0, 5);
        out.Append("\r\n");
        file.Flush();
    }
    return file.Commit() ? 0 : 1;
}

}  // namespace ferolin
