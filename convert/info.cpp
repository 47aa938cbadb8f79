#include "convert/info.h"

#include <cmath>
#include <ostream>

#include "core/text_format.h"

namespace ferolin {

namespace {

// The JSON keys of the channels, in the order of kSensorTable.
constexpr const char* kChannelKeys[kSensorCount] = {"heart_rate", "cadence", "power",
                                                    "temperature"};

void Line(std::string& text, const char* label, const std::string& value) {
    text += "  ";
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

}  // namespace

std::string FiguresText(const std::string& file, const TrackFigures& f) {
    std::string text = file + '\n';
    const bool timed = f.dated > 0;
    Line(text, "Points", std::to_string(f.points));
    Line(text, "Start", UtcText(f.start));
    Line(text, "End", UtcText(f.end));
    Line(text, "Duration", timed ? DurationText(f.durationSeconds) : "");
    Line(text, "Distance", Fixed(f.distanceMetres / 1000.0, 3, "km"));
    Line(text, "Moving time", timed ? DurationText(f.movingSeconds) : "");
    Line(text, "Moving speed", timed ? Fixed(f.movingSpeedKmh, 2, "km/h") : "");
    Line(text, "Maximum speed",
         f.hasSpeed ? Fixed(f.maxSpeedKmh, 2, f.speedDerived ? "km/h (from positions and times)" : "km/h")
                    : "");
    Line(text, "Ascent", f.hasAltitude ? Fixed(f.ascentMetres, 1, "m") : "");
    Line(text, "Descent", f.hasAltitude ? Fixed(f.descentMetres, 1, "m") : "");
    Line(text, "Lowest altitude", f.hasAltitude ? Fixed(f.minAltitude, 1, "m") : "");
    Line(text, "Highest altitude", f.hasAltitude ? Fixed(f.maxAltitude, 1, "m") : "");
    for (int c = 0; c < kSensorCount; ++c) {
        const ChannelFigures& s = f.sensors[c];
        if (!s.samples) continue;
        std::string value = "average ";
        AppendFixed(value, s.average, 1);
        value += ", maximum ";
        value += Fixed(s.maximum, 1, kSensorTable[c].unit);
        Line(text, kSensorTable[c].name, value);
    }
    // What the device measured itself, for a file that says.
    const DeviceTotals& d = f.device;
    if (HasDeviceTotals(d)) {
        Line(text, "Device ascent", std::isnan(d.ascentMetres) ? "" : Fixed(d.ascentMetres, 1, "m"));
        Line(text, "Device descent", std::isnan(d.descentMetres) ? "" : Fixed(d.descentMetres, 1, "m"));
        Line(text, "Device distance",
             std::isnan(d.distanceMetres) ? "" : Fixed(d.distanceMetres / 1000.0, 3, "km"));
        Line(text, "Device timer", std::isnan(d.timerSeconds) ? "" : DurationText(d.timerSeconds));
    }
    return text;
}

std::string FiguresJson(const std::string& file, const TrackFigures& f) {
    const bool timed = f.dated > 0;
    std::string json = "{\"file\":";
    JsonString(json, file);
    json += ",\"points\":" + std::to_string(f.points);
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
    const DeviceTotals& d = f.device;
    JsonNumber(json, "device_ascent_m", !std::isnan(d.ascentMetres), d.ascentMetres, 1);
    JsonNumber(json, "device_descent_m", !std::isnan(d.descentMetres), d.descentMetres, 1);
    JsonNumber(json, "device_distance_m", !std::isnan(d.distanceMetres), d.distanceMetres, 1);
    JsonNumber(json, "device_timer_s", !std::isnan(d.timerSeconds), d.timerSeconds, 3);
    json += "}\n";
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
            TrackFigures figures;
            const auto n = static_cast<uint32_t>(entries.size());
            ComputeFigures(entries.data(), n, threshold, figures, &track.sensors);
            AddSensorFigures(entries.data(), n, &track.sensors, figures);
            leftOut += LeftOutLine(file, track.report);
            if (options.json) {
                out << FiguresJson(file, figures);
            } else {
                if (!first) out << '\n';
                out << FiguresText(file, figures);
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
