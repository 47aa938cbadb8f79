#include "convert/info.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <utility>

#include "core/text_format.h"

namespace ferolin {

namespace {

// The JSON keys of the channels, in the order of kSensorTable.
constexpr const char* kChannelKeys[kSensorCount] = {"heart_rate", "cadence", "power",
                                                    "temperature"};

void Line(std::string& text, const char* indent, const char* label, const std::string& value) {
    text += indent;
    text += label;
    text.append(18 - std::char_traits<char>::length(label), ' ');
    text += value.empty() ? "-" : value;
    text += '\n';
}

std::string Fixed(double value, int precision, const char* unit) {
    std::string s;
    AppendFixed(s, value, precision);
    s += ' ';
    s += unit;
    return s;
}

// A JSON number with `precision` decimals, or null.
void JsonNumber(std::string& json, const char* key, bool present, double value, int precision) {
    json += ",\"";
    json += key;
    json += "\":";
    if (present) AppendFixed(json, value, precision);
    else json += "null";
}

void JsonString(std::string& json, const std::string& text) {
    json += '"';
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (u < 0x20) {
            static const char hex[] = "0123456789abcdef";
            json += "\\u00";
            json += hex[u >> 4];
            json += hex[u & 15];
        } else {
            json += c;
        }
    }
    json += '"';
}

// The figure lines of a selection, each behind `indent`: start to highest
// altitude and the sensor channels (the point count and the device's totals
// are the caller's).
void FigureLines(std::string& text, const char* indent, const TrackFigures& f) {
    const bool timed = f.dated > 0;
    Line(text, indent, "Start", UtcText(f.start));
    Line(text, indent, "End", UtcText(f.end));
    Line(text, indent, "Duration", timed ? DurationText(f.durationSeconds) : "");
    Line(text, indent, "Distance", Fixed(f.distanceMetres / 1000.0, 3, "km"));
    Line(text, indent, "Moving time", timed ? DurationText(f.movingSeconds) : "");
    Line(text, indent, "Moving speed", timed ? Fixed(f.movingSpeedKmh, 2, "km/h") : "");
    Line(text, indent, "Maximum speed",
         f.hasSpeed ? Fixed(f.maxSpeedKmh, 2, f.speedDerived ? "km/h (from positions and times)" : "km/h")
                    : "");
    Line(text, indent, "Ascent", f.hasAltitude ? Fixed(f.ascentMetres, 1, "m") : "");
    Line(text, indent, "Descent", f.hasAltitude ? Fixed(f.descentMetres, 1, "m") : "");
    Line(text, indent, "Lowest altitude", f.hasAltitude ? Fixed(f.minAltitude, 1, "m") : "");
    Line(text, indent, "Highest altitude", f.hasAltitude ? Fixed(f.maxAltitude, 1, "m") : "");
    for (int c = 0; c < kSensorCount; ++c) {
        const ChannelFigures& s = f.sensors[c];
        if (!s.samples) continue;
        std::string value = "average ";
        AppendFixed(value, s.average, 1);
        value += ", maximum ";
        value += Fixed(s.maximum, 1, kSensorTable[c].unit);
        Line(text, indent, kSensorTable[c].name, value);
    }
}

void JsonCount(std::string& json, const char* key, uint32_t value) {
    json += ",\"";
    json += key;
    json += "\":";
    json += std::to_string(value);
}

// The figure keys of a selection, start to the sensor channels, each after a
// comma.
void FigureKeys(std::string& json, const TrackFigures& f) {
    const bool timed = f.dated > 0;
    for (const auto& [key, time] : {std::pair{"start", f.start}, std::pair{"end", f.end}}) {
        json += ",\"";
        json += key;
        json += "\":";
        if (timed) JsonString(json, UtcText(time));
        else json += "null";
    }
    JsonNumber(json, "duration_s", timed, f.durationSeconds, 3);
    JsonNumber(json, "distance_m", true, f.distanceMetres, 1);
    JsonNumber(json, "moving_time_s", timed, f.movingSeconds, 3);
    JsonNumber(json, "moving_speed_kmh", timed, f.movingSpeedKmh, 2);
    JsonNumber(json, "max_speed_kmh", f.hasSpeed, f.maxSpeedKmh, 2);
    JsonNumber(json, "ascent_m", f.hasAltitude, f.ascentMetres, 1);
    JsonNumber(json, "descent_m", f.hasAltitude, f.descentMetres, 1);
    JsonNumber(json, "min_altitude_m", f.hasAltitude, f.minAltitude, 1);
    JsonNumber(json, "max_altitude_m", f.hasAltitude, f.maxAltitude, 1);
    for (int c = 0; c < kSensorCount; ++c) {
        const ChannelFigures& s = f.sensors[c];
        if (!s.samples) continue;
        json += ",\"";
        json += kChannelKeys[c];
        json += "\":{\"avg\":";
        AppendFixed(json, s.average, 1);
        json += ",\"max\":";
        AppendFixed(json, s.maximum, 1);
        json += '}';
    }
}

// The figures of entries [first, last) of the list, without the device's
// totals, which belong to the whole file.
TrackFigures SliceFigures(const ExportEntry* first, const ExportEntry* last,
                          const SensorChannels& extras, double threshold) {
    TrackFigures figures;
    const auto n = static_cast<uint32_t>(last - first);
    ComputeFigures(first, n, threshold, figures, &extras);
    AddSensorFigures(first, n, &extras, figures);
    figures.device = ReadReport::NoDeviceTotals();
    return figures;
}

}  // namespace

FileInfo ComputeFileInfo(const std::vector<ExportEntry>& entries, uint32_t pointCount,
                         const SensorChannels& extras, double ascentThreshold) {
    FileInfo info;
    const auto n = static_cast<uint32_t>(entries.size());
    ComputeFigures(entries.data(), n, ascentThreshold, info.figures, &extras);
    AddSensorFigures(entries.data(), n, &extras, info.figures);
    const TrackDocument& doc = extras.document;
    info.waypoints = static_cast<uint32_t>(doc.waypoints.size());
    info.routes = static_cast<uint32_t>(doc.routes.size());
    info.laps = static_cast<uint32_t>(doc.laps.size());
    // A file of waypoints or routes alone has no track and no segment (the
    // document counts one of each for any file it was never told of).
    if (pointCount == 0) return info;
    info.tracks = doc.TrackCount();
    info.segments = doc.SegmentCount();
    // Each track covers a run of the point array, so its entries are a run
    // of the ascending list.
    const auto byIndex = [](const ExportEntry& e, uint32_t index) { return e.index < index; };
    const ExportEntry* begin = entries.data();
    const ExportEntry* end = begin + n;
    info.perTrack.reserve(info.tracks);
    for (uint32_t t = 0; t < info.tracks; ++t) {
        const uint32_t firstSegment = doc.FirstSegment(t);
        const uint32_t endSegment = std::max(doc.EndSegment(t), firstSegment);
        const uint32_t from = doc.SegmentStart(firstSegment);
        const uint32_t to = endSegment > firstSegment ? doc.SegmentEnd(endSegment - 1, pointCount) : from;
        const ExportEntry* first = std::lower_bound(begin, end, from, byIndex);
        const ExportEntry* last = std::lower_bound(first, end, to, byIndex);
        TrackInfo track{doc.TrackName(t), endSegment - firstSegment, {}};
        if (first == begin && last == end) {
            // The track holds the whole selection (the usual one track): its
            // figures are the file's, without the device's totals.
            track.figures = info.figures;
            track.figures.device = ReadReport::NoDeviceTotals();
        } else {
            track.figures = SliceFigures(first, last, extras, ascentThreshold);
        }
        info.perTrack.push_back(std::move(track));
    }
    return info;
}

std::string FiguresText(const std::string& file, const FileInfo& info) {
    const TrackFigures& f = info.figures;
    std::string text = file + '\n';
    Line(text, "  ", "Points", std::to_string(f.points));
    Line(text, "  ", "Tracks", std::to_string(info.tracks));
    Line(text, "  ", "Segments", std::to_string(info.segments));
    Line(text, "  ", "Waypoints", std::to_string(info.waypoints));
    Line(text, "  ", "Routes", std::to_string(info.routes));
    Line(text, "  ", "Laps", std::to_string(info.laps));
    FigureLines(text, "  ", f);
    // What the device measured itself, for a file that says.
    const DeviceTotals& d = f.device;
    if (HasDeviceTotals(d)) {
        Line(text, "  ", "Device ascent", std::isnan(d.ascentMetres) ? "" : Fixed(d.ascentMetres, 1, "m"));
        Line(text, "  ", "Device descent", std::isnan(d.descentMetres) ? "" : Fixed(d.descentMetres, 1, "m"));
        Line(text, "  ", "Device distance",
             std::isnan(d.distanceMetres) ? "" : Fixed(d.distanceMetres / 1000.0, 3, "km"));
        Line(text, "  ", "Device timer", std::isnan(d.timerSeconds) ? "" : DurationText(d.timerSeconds));
    }
    // Each track's own figures, when the file has several: a heading with
    // its number and name, its lines indented under it.
    if (info.perTrack.size() > 1) {
        for (std::size_t t = 0; t < info.perTrack.size(); ++t) {
            const TrackInfo& track = info.perTrack[t];
            text += "  Track ";
            text += std::to_string(t + 1);
            if (!track.name.empty()) {
                text += ": ";
                // A name is one line of the layout, whatever the file put in it.
                for (const char c : track.name) text += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
            }
            text += '\n';
            Line(text, "    ", "Segments", std::to_string(track.segments));
            Line(text, "    ", "Points", std::to_string(track.figures.points));
            FigureLines(text, "    ", track.figures);
        }
    }
    return text;
}

std::string FiguresJson(const std::string& file, const FileInfo& info) {
    const TrackFigures& f = info.figures;
    std::string json = "{\"file\":";
    JsonString(json, file);
    JsonCount(json, "points", f.points);
    JsonCount(json, "segments", info.segments);
    JsonCount(json, "waypoints", info.waypoints);
    JsonCount(json, "routes", info.routes);
    JsonCount(json, "laps", info.laps);
    FigureKeys(json, f);
    const DeviceTotals& d = f.device;
    JsonNumber(json, "device_ascent_m", !std::isnan(d.ascentMetres), d.ascentMetres, 1);
    JsonNumber(json, "device_descent_m", !std::isnan(d.descentMetres), d.descentMetres, 1);
    JsonNumber(json, "device_distance_m", !std::isnan(d.distanceMetres), d.distanceMetres, 1);
    JsonNumber(json, "device_timer_s", !std::isnan(d.timerSeconds), d.timerSeconds, 3);
    // The tracks last: name (null without one), segments, points and the
    // figure keys of the top level.
    json += ",\"tracks\":[";
    for (std::size_t t = 0; t < info.perTrack.size(); ++t) {
        const TrackInfo& track = info.perTrack[t];
        json += t ? ",{\"name\":" : "{\"name\":";
        if (track.name.empty()) json += "null";
        else JsonString(json, track.name);
        JsonCount(json, "segments", track.segments);
        JsonCount(json, "points", track.figures.points);
        FigureKeys(json, track.figures);
        json += '}';
    }
    json += "]}\n";
    return json;
}

int RunInfo(const BatchOptions& options, std::ostream& out, std::ostream& err,
            const BatchSettings* settings) {
    const double threshold =
        settings && !options.noSettings ? settings->AscentThreshold() : kDefaultAscentThreshold;
    bool first = true;
    std::string leftOut;  // "PATH: what its read left out", one line per file
    const int status = ForEachSelected(
        options, settings, err,
        [&](const std::string& file, const CurrentTrack& track,
            const std::vector<ExportEntry>& entries) {
            const FileInfo info = ComputeFileInfo(entries, track.count, track.sensors, threshold);
            leftOut += LeftOutLine(file, track.report);
            if (options.json) {
                out << FiguresJson(file, info);
            } else {
                if (!first) out << '\n';
                out << FiguresText(file, info);
            }
            first = false;
            out.flush();
        });
    // The text ends with what the reads left out; JSON lines stay JSON, the
    // lines go to the messages.
    if (!leftOut.empty()) {
        if (options.json) err << leftOut << std::flush;
        else out << '\n' << leftOut << std::flush;
    }
    return status;
}

}  // namespace ferolin
