#include "document_table.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <sstream>

#include "core/sensors.h"
#include "core/track_geometry.h"

using namespace ferolin;

namespace ferolin_test {

namespace {

// "-" or a number.
bool ReadReal(const std::string& word, double& value) {
    if (word == "-") {
        value = std::nan("");
        return true;
    }
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    return ec == std::errc() && end == word.data() + word.size();
}

// "-" or YYYY-MM-DDTHH:MM:SS[.fff]Z, as seconds since 1970.
bool ReadTime(const std::string& word, double& seconds) {
    if (word == "-") {
        seconds = std::nan("");
        return true;
    }
    std::tm tm{};
    double s = 0;
    int at = 0;
    if (std::sscanf(word.c_str(), "%d-%d-%dT%d:%d:%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                    &tm.tm_min, &at) != 5)
        return false;
    // The seconds whatever the locale's decimal separator.
    const char* end = word.data() + word.size();
    const auto parsed = std::from_chars(word.data() + at, end, s);
    if (parsed.ec != std::errc() || parsed.ptr + 1 != end || *parsed.ptr != 'Z') return false;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    seconds = static_cast<double>(timegm(&tm)) + s;
    return true;
}

// "LAT LON ALT TIME | NAME | DESCRIPTION | SYMBOL": the position words, then
// the texts after each bar (trimmed).
bool ReadPlace(const std::string& text, Waypoint& w) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (;;) {
        const std::size_t bar = text.find('|', at);
        parts.push_back(text.substr(at, bar == std::string::npos ? std::string::npos : bar - at));
        if (bar == std::string::npos) break;
        at = bar + 1;
    }
    for (std::string& p : parts) {
        p.erase(0, p.find_first_not_of(' '));
        p.erase(p.find_last_not_of(' ') + 1);
    }
    std::istringstream words(parts[0]);
    std::string lat, lon, alt, time;
    if (!(words >> lat >> lon >> alt >> time)) return false;
    // Read into locals: the record's fields are packed, no reference binds to them.
    double latitude = 0, longitude = 0, altitude = 0, seconds = 0;
    if (!ReadReal(lat, latitude) || !ReadReal(lon, longitude) || !ReadReal(alt, altitude) ||
        !ReadTime(time, seconds))
        return false;
    w.point.latitude = latitude;
    w.point.longitude = longitude;
    if (std::isnan(altitude)) w.absent |= kFieldAltitude;
    else w.point.altitude = static_cast<float>(altitude);
    if (std::isnan(seconds)) w.absent |= kFieldTime;
    else SetPointSeconds(w.point, seconds);
    if (parts.size() > 1) w.name = parts[1];
    if (parts.size() > 2) w.description = parts[2];
    if (parts.size() > 3) w.symbol = parts[3];
    return true;
}

std::string PlaceText(const Waypoint& w) {
    char text[160];
    const double t = PointSeconds(w.point);
    std::snprintf(text, sizeof text, "%.9g %.9g %s %.3f", w.point.latitude, w.point.longitude,
                  (w.absent & kFieldAltitude) ? "-" : std::to_string(w.point.altitude).c_str(),
                  (w.absent & kFieldTime) ? std::nan("") : t);
    return std::string(text) + " | " + w.name + " | " + w.description + " | " + w.symbol;
}

bool SamePlace(const Waypoint& a, const Waypoint& b) {
    const uint8_t bits = kFieldAltitude | kFieldTime;
    if ((a.absent & bits) != (b.absent & bits)) return false;
    if (std::abs(a.point.latitude - b.point.latitude) > 1e-9 || std::abs(a.point.longitude - b.point.longitude) > 1e-9)
        return false;
    if (!(a.absent & kFieldAltitude) &&
        std::abs(a.point.altitude - b.point.altitude) > 1e-6 * std::max(1.0f, std::abs(b.point.altitude)))
        return false;
    if (!(a.absent & kFieldTime) && !(std::abs(PointSeconds(a.point) - PointSeconds(b.point)) <= 1e-3)) return false;
    return a.name == b.name && a.description == b.description && a.symbol == b.symbol;
}

}  // namespace

TrackDocument DocumentOf(const PointTable& table, std::string& error) {
    TrackDocument document;
    // Structure from the columns: a new segment where the pair changes.
    std::vector<uint32_t> starts;
    std::vector<TrackHead> tracks;
    double lastTrack = 0, lastSegment = 0;
    for (std::size_t row = 0; row < table.rows.size(); ++row) {
        const double t = table.Value(row, "track", 1), s = table.Value(row, "segment", 1);
        if (row == 0 || t != lastTrack || s != lastSegment) starts.push_back(static_cast<uint32_t>(row));
        if (row == 0 || t != lastTrack) tracks.push_back({{}, static_cast<uint32_t>(starts.size() - 1)});
        lastTrack = t;
        lastSegment = s;
    }
    for (const std::string& line : table.directives) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        std::string rest;
        std::getline(words, rest);
        if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
        if (key == "track") {
            std::istringstream in(rest);
            std::size_t n = 0;
            in >> n;
            std::string name;
            std::getline(in, name);
            if (!name.empty() && name[0] == ' ') name.erase(0, 1);
            if (n == 0) error += "track directive without a number: " + line + "\n";
            if (tracks.size() < n) tracks.resize(n, {{}, static_cast<uint32_t>(starts.size())});
            if (n) tracks[n - 1].name = name;
        } else if (key == "waypoint" || key == "rtept") {
            Waypoint w;
            if (!ReadPlace(rest, w)) error += "unreadable place: " + line + "\n";
            if (key == "waypoint") document.waypoints.push_back(w);
            else if (document.routes.empty()) error += "rtept before any route: " + line + "\n";
            else document.routes.back().points.push_back(w);
        } else if (key == "route") {
            document.routes.push_back({rest, {}});
        } else if (key == "lap") {
            std::istringstream in(rest);
            uint32_t row = 0;
            std::string time;
            Lap lap;
            if (!(in >> row >> time) || row == 0 || !ReadTime(time, lap.startTime))
                error += "unreadable lap: " + line + "\n";
            lap.firstPoint = row - 1;
            document.laps.push_back(lap);
        }
    }
    document.SetStructure(starts, tracks);
    return document;
}

std::string CompareDocument(const PointTable& want, const TrackDocument& got, uint32_t count) {
    std::string error;
    const TrackDocument expected = DocumentOf(want, error);
    if (!error.empty()) return error;
    std::ostringstream out;
    if (expected.SegmentCount() != got.SegmentCount() || expected.TrackCount() != got.TrackCount())
        out << "tracks/segments: want " << expected.TrackCount() << "/" << expected.SegmentCount() << ", got "
            << got.TrackCount() << "/" << got.SegmentCount() << "\n";
    for (uint32_t s = 0; s < std::min(expected.SegmentCount(), got.SegmentCount()); ++s)
        if (expected.SegmentStart(s) != got.SegmentStart(s))
            out << "segment " << s + 1 << " starts at row " << got.SegmentStart(s) + 1 << ", want row "
                << expected.SegmentStart(s) + 1 << "\n";
    for (uint32_t t = 0; t < std::min(expected.TrackCount(), got.TrackCount()); ++t) {
        if (expected.FirstSegment(t) != got.FirstSegment(t))
            out << "track " << t + 1 << " starts at segment " << got.FirstSegment(t) + 1 << ", want "
                << expected.FirstSegment(t) + 1 << "\n";
        if (expected.TrackName(t) != got.TrackName(t))
            out << "track " << t + 1 << " name \"" << got.TrackName(t) << "\", want \"" << expected.TrackName(t)
                << "\"\n";
    }
    auto places = [&](const char* what, const std::vector<Waypoint>& a, const std::vector<Waypoint>& b) {
        if (a.size() != b.size()) out << what << ": want " << a.size() << ", got " << b.size() << "\n";
        for (std::size_t i = 0; i < b.size(); ++i)
            if (i >= a.size() || !SamePlace(a[i], b[i]))
                out << what << " " << i + 1 << ": got " << PlaceText(b[i])
                    << (i < a.size() ? "\n    want " + PlaceText(a[i]) : std::string()) << "\n";
    };
    places("waypoints", expected.waypoints, got.waypoints);
    if (expected.routes.size() != got.routes.size())
        out << "routes: want " << expected.routes.size() << ", got " << got.routes.size() << "\n";
    for (std::size_t r = 0; r < std::min(expected.routes.size(), got.routes.size()); ++r) {
        if (expected.routes[r].name != got.routes[r].name)
            out << "route " << r + 1 << " name \"" << got.routes[r].name << "\"\n";
        places(("route " + std::to_string(r + 1)).c_str(), expected.routes[r].points, got.routes[r].points);
    }
    if (expected.laps.size() != got.laps.size())
        out << "laps: want " << expected.laps.size() << ", got " << got.laps.size() << "\n";
    for (std::size_t i = 0; i < std::min(expected.laps.size(), got.laps.size()); ++i) {
        const Lap &a = expected.laps[i], &b = got.laps[i];
        if (a.firstPoint != b.firstPoint ||
            !(std::abs(a.startTime - b.startTime) <= 1e-3 || (std::isnan(a.startTime) && std::isnan(b.startTime))))
            out << "lap " << i + 1 << ": got row " << b.firstPoint + 1 << " at " << std::fixed << b.startTime
                << ", want row " << a.firstPoint + 1 << " at " << a.startTime << "\n";
    }
    (void)count;
    return out.str();
}

}  // namespace ferolin_test
