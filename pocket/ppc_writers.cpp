// The handheld's GPX 1.0, Garmin PCX5 and OziExplorer PLT writers.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "pocket/ppc_io.h"
#include "pocket/ppc_track.h"

using ppc::AppendFixed;
using ppc::AppendInt;

namespace {

constexpr const char* kMonthsUpper[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                          "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
constexpr const char* kMonthsMixed[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// A month outside 1..12 has no abbreviation.
const char* MonthAbbreviation(const char* const (&table)[12], int32_t month) {
    return month >= 1 && month <= 12 ? table[month - 1] : "???";
}


// The track name for a file that declares ISO-8859-1: UTF-8 decoded, each
// character of Latin-1 written as its byte, any other character (or a byte
// that is no UTF-8) as "?", control characters other than the tab as "?",
// and &, <, > escaped.
void AppendLatin1Name(std::string& out, const std::string& name) {
    const auto* s = reinterpret_cast<const unsigned char*>(name.data());
    const std::size_t n = name.size();
    std::size_t i = 0;
    while (i < n) {
        uint32_t c = s[i];
        std::size_t length = 1;
        if (c >= 0x80) {
            std::size_t need = 0;
            uint32_t minimum = 0;
            if (c >= 0xC2 && c <= 0xDF) need = 1, c &= 0x1F, minimum = 0x80;
            else if (c >= 0xE0 && c <= 0xEF) need = 2, c &= 0x0F, minimum = 0x800;
            else if (c >= 0xF0 && c <= 0xF4) need = 3, c &= 0x07, minimum = 0x10000;
            bool valid = need > 0;
            for (std::size_t k = 1; valid && k <= need; ++k) {
                if (i + k >= n || (s[i + k] & 0xC0) != 0x80) {
                    valid = false;
                } else {
                    c = (c << 6) | (s[i + k] & 0x3F);
                }
            }
            if (valid && (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) valid = false;
            if (valid) {
                length = need + 1;
            } else {
                c = '?';
                // Skip the continuation bytes of the broken sequence with it.
                while (i + length < n && (s[i + length] & 0xC0) == 0x80 && length < 4) ++length;
            }
        }
        i += length;
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if ((c < 0x20 && c != '\t') || c > 0xFF) out += '?';
        else out += static_cast<char>(c);
    }
}

// "%02d" and friends for the date and time fields.
void AppendTwo(std::string& out, int64_t value) { AppendInt(out, value, 2); }

// "%02d-%s-%02d": day, month abbreviation from `months`, two-digit year.
void AppendDayMonthYear(std::string& out, const PPCTrackPoint& p,
                        const char* const (&months)[12]) {
    AppendTwo(out, p.day);
    out += '-';
    out += MonthAbbreviation(months, p.month);
    out += '-';
    AppendTwo(out, p.year % 100);
}

}  // namespace

int32_t PPCWholeSeconds(double seconds) {
    if (std::isnan(seconds)) return 0;
    if (seconds >= 2147483647.0) return INT32_MAX;
    if (seconds <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(seconds);
}

double PPCDayNumber(int32_t day, int32_t month, int32_t year, int32_t hour, int32_t minute,
                    int32_t seconds) {
    static constexpr int kMonthLength[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    // Days before 1 January of the year: 367 for 1901 (and the years before,
    // which the count starts from), then 365 a year plus the leap days of
    // the years passed, every fourth year.
    const int64_t y = std::max<int64_t>(year, 1901);
    int64_t days = 367 + 365 * (y - 1901) + ((y - 1) / 4 - 1900 / 4);
    const bool leap = year % 4 == 0;
    const int64_t monthsBefore = std::clamp<int64_t>(static_cast<int64_t>(month) - 1, 0, 12);
    for (int64_t m = 0; m < monthsBefore; ++m) days += kMonthLength[m];
    if (month > 2 && leap) days += 1;
    days += static_cast<int64_t>(day) - 1;
    const int64_t secondsOfDay =
        static_cast<int64_t>(hour) * 3600 + static_cast<int64_t>(minute) * 60 + seconds;
    const float fraction = static_cast<float>(secondsOfDay) * (1.0f / 86400.0f);
    return static_cast<double>(days) + static_cast<double>(fraction);
}

int PPCWriteGpx(const std::string& path, const std::string& name, const PPCTrackPoint* points,
                uint32_t count, int flag) {
    ppc::OutputFile file;
    if (!file.Create(path)) return 1;
    std::string& out = file.Text();
    out += "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"yes\"?>\r\n"
           "<gpx\r\n"
           "\tversion=\"1.0\"\r\n"
           "\tcreator=\"Ferolin 1.2\"\r\n"
           "\txmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\r\n"
           "\txmlns=\"http://www.topografix.com/GPX/1/0\"\r\n"
           "\txmlns:topografix=\"http://www.topografix.com/GPX/Private/TopoGrafix/0/2\"\r\n"
           "\txsi:schemaLocation=\"http://www.topografix.com/GPX/1/0 "
           "http://www.topografix.com/GPX/1/0/gpx.xsd "
           "http://www.topografix.com/GPX/Private/TopoGrafix/0/2 "
           "http://www.topografix.com/GPX/Private/TopoGrafix/0/2/topografix.xsd\">\r\n"
           "\t<trk>\r\n"
           "\t\t<name>";
    AppendLatin1Name(out, name);
    out += "</name>\r\n\t\t<trkseg>\r\n";
    constexpr double kMetresPerSecond = 1.0 / 3.6;
    for (uint32_t i = 0; i < count; ++i) {
        const PPCTrackPoint& p = points[i];
        if (PPCSkipsPoint(p, flag)) continue;
        out += "\t\t\t<trkpt lat=\"";
        AppendFixed(out, p.latitude, 6);
        out += "\" lon=\"";
        AppendFixed(out, p.longitude, 6);
        out += "\">\r\n\t\t\t<ele>";
        AppendFixed(out, p.altitude, 6);
        out += "</ele>\r\n\t\t\t<time>";
        AppendInt(out, p.year, 4);
        out += '-';
        AppendTwo(out, p.month);
        out += '-';
        AppendTwo(out, p.day);
        out += 'T';
        ppc::AppendHourMinute(out, p.hour, p.minute);
        AppendFixed(out, p.seconds, 3, 6);
        out += "Z</time>\r\n\t\t\t<course>";
        AppendFixed(out, p.direction, 6);
        out += "</course>\r\n\t\t\t<speed>";
        AppendFixed(out, p.speed * kMetresPerSecond, 6);
        out += "</speed>\r\n\t\t\t<sat>";
        AppendInt(out, p.satellites);
        out += "</sat>\r\n\t\t\t<hdop>";
        AppendFixed(out, p.hdop, 6);
        out += "</hdop>\r\n\t\t\t<vdop>";
        AppendFixed(out, p.vdop, 6);
        out += "</vdop>\r\n\t\t\t<pdop>";
        AppendFixed(out, p.pdop, 6);
        out += "</pdop>\r\n\t\t\t</trkpt>\r\n";
        file.FlushSome();
    }
    out += "\t\t</trkseg>\r\n\t</trk>\r\n</gpx>\r\n";
    return file.Commit() ? 0 : 1;
}

int PPCWritePcx5(const std::string& path, const PPCTrackPoint* points, uint32_t count, int flag) {
    ppc::OutputFile file;
    if (!file.Create(path)) return 1;
    std::string& out = file.Text();
    out += "H  SOFTWARE NAME & VERSION\r\nI  PCX5 2.09 by Ferolin 1.2\r\n"
           "\r\nH  R DATUM                IDX DA            DF            DX            DY            DZ\r\n"
           "M  G WGS 84               121 +0.000000e+00 +0.000000e+00 +0.000000e+00 +0.000000e+00 +0.000000e+00\r\n"
           "\r\nH  COORDINATE SYSTEM\r\nU  LAT LON DEG\r\n"
           "\r\nH  LATITUDE    LONGITUDE    DATE      TIME     ALT    ;track\r\n";
    for (uint32_t i = 0; i < count; ++i) {
        const PPCTrackPoint& p = points[i];
        if (PPCSkipsPoint(p, flag)) continue;
        out += "T  ";
        // The sign of "%+011.7f" becomes the hemisphere letter.
        std::size_t at = out.size();
        AppendFixed(out, p.latitude, 7, 11, true);
        out[at] = p.latitude < 0 ? 'S' : 'N';
        out += ' ';
        at = out.size();
        AppendFixed(out, p.longitude, 7, 12, true);
        out[at] = p.longitude < 0 ? 'W' : 'E';
        out += ' ';
        AppendDayMonthYear(out, p, kMonthsUpper);
        out += ' ';
        ppc::AppendHourMinute(out, p.hour, p.minute);
        AppendTwo(out, PPCWholeSeconds(p.seconds));
        out += ' ';
        AppendFixed(out, p.altitude, 0, 5);
        out += "\r\n";
        file.FlushSome();
    }
    return file.Commit() ? 0 : 1;
}

int PPCWritePlt(const std::string& path, const std::string& name, const PPCTrackPoint* points,
                uint32_t count, int flag) {
    ppc::OutputFile file;
    if (!file.Create(path)) return 1;
    std::string& out = file.Text();
    out += "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n"
           "0, 2, 65280, ";
    out += name;
    out += ", 1, 0, 0, 65280\r\n ";
    AppendInt(out, count);  // every point, also those the flag skips
    out += "\r\n";
    for (uint32_t i = 0; i < count; ++i) {
        const PPCTrackPoint& p = points[i];
        if (PPCSkipsPoint(p, flag)) continue;
        const int32_t whole = PPCWholeSeconds(p.seconds);
        AppendFixed(out, p.latitude, 7, 11, true);
        out += ", ";
        AppendFixed(out, p.longitude, 7, 12, true);
        out += ", 0, ";
        AppendFixed(out, p.altitude * 3.2808, 7, 13);
        out += ", ";
        AppendFixed(out, PPCDayNumber(p.day, p.month, p.year, p.hour, p.minute, whole), 6);
        out += ", ";
        AppendDayMonthYear(out, p, kMonthsMixed);
        out += ", ";
        ppc::AppendHourMinute(out, p.hour, p.minute);
        AppendTwo(out, whole);
        out += "\r\n";
        file.FlushSome();
    }
    return file.Commit() ? 0 : 1;
}
