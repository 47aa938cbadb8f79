// Runs a reader of the format table on a text written to a real file, and a
// driver host that records what the driver tells its user.
#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <type_traits>

#include <vector>

#include "convert/driver.h"
#include "core/selection.h"
#include "core/strings.h"
#include "core/track_point.h"
#include "test_support.h"

namespace ferolin_test {

struct ReadResult {
    ferolin::ReadStatus status = ferolin::ReadStatus::kCannotOpen;  // until read
    ferolin::TrackPointArray points;
    uint32_t count = 0;
};

// A message the driver gave its user, with its text.
struct HostMessage {
    std::string path;
    std::string text;
    ferolin::MessageIcon icon;
};

// Records what the driver tells its user.
class RecordingHost : public ferolin::DriverHost {
public:
    void ShowMessage(const std::string& path, int id, ferolin::MessageIcon icon) override {
        messages.push_back({path, ferolin::LoadString(id), icon});
    }
    void BeginWork() override { ++depth; }
    void EndWork() override { --depth; }
    void TrackLoaded(const ferolin::CurrentTrack& track) override { loaded.push_back(track.displayName); }
    void ShowNoPoint() override { ++noPoint; }
    void BuildCriteria(uint32_t mask, ferolin::SelectionCriteria& c) override {
        c = ferolin::SelectionCriteria{};
        ferolin::SetCriteriaRules(c, rules, mask);
    }
    uint32_t WriterOptions(const ferolin::FormatEntry&) override { return options; }
    // The texts of the messages, in order.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const HostMessage& m : messages) texts.push_back(m.text);
        return texts;
    }

    std::vector<HostMessage> messages;
    std::vector<std::string> loaded;
    std::vector<const ferolin::ExclusionRule*> rules;
    uint32_t options = ferolin::kAllOptions;
    int noPoint = 0;
    int depth = 0;
};

// A point at a place, on a date and at a time of day; every other field is 0.
inline ferolin::TrackPoint DatedPoint(double latitude, double longitude, int year, int month,
                                      int day, int hour = 0, int minute = 0, float seconds = 0) {
    ferolin::TrackPoint p{};
    p.latitude = latitude;
    p.longitude = longitude;
    p.year = static_cast<int16_t>(year);
    p.month = static_cast<int8_t>(month);
    p.day = static_cast<int8_t>(day);
    p.hour = static_cast<int8_t>(hour);
    p.minute = static_cast<int8_t>(minute);
    p.seconds = seconds;
    return p;
}

// The fields of a fix beyond place and time, named where they are set:
// WithFix(DatedPoint(...), {.altitude = 100, .satellites = 7}).
struct Fix {
    int record = 0;
    float altitude = 0;
    float speed = 0;  // km/h
    float direction = 0;
    int satellites = 0;
    float pdop = 0;
    float hdop = 0;
    float vdop = 0;
};
inline ferolin::TrackPoint WithFix(ferolin::TrackPoint p, const Fix& f) {
    p.record = f.record;
    p.altitude = f.altitude;
    p.speed = f.speed;
    p.direction = f.direction;
    p.satellites = static_cast<int8_t>(f.satellites);
    p.pdop = f.pdop;
    p.hdop = f.hdop;
    p.vdop = f.vdop;
    return p;
}

// A date as one number, yyyymmdd, so that one comparison shows all of it.
template <typename Dated>
int DateOf(const Dated& p) {
    return p.year * 10000 + p.month * 100 + p.day;
}
// A point's time of day as one number, hhmmss.ss.
inline double TimeOf(const ferolin::TrackPoint& p) {
    return p.hour * 10000 + p.minute * 100 + static_cast<double>(p.seconds);
}
// Position, date (yyyymmdd), time of day (hhmmss.ss) and altitude of a point,
// to compare with one expectation that prints all of them when it fails.
inline std::tuple<double, double, int, double, float> Summary(const ferolin::TrackPoint& p) {
    return {+p.latitude, +p.longitude, DateOf(p), TimeOf(p), +p.altitude};
}
using PointSummary = std::tuple<double, double, int, double, float>;
// Every field of a point, to compare two points with one expectation that
// prints both when it fails.
inline auto Fields(const ferolin::TrackPoint& p) {
    return std::tuple(+p.record, +p.year, +p.month, +p.day, +p.hour, +p.minute, +p.seconds,
                      +p.latitude, +p.longitude, +p.altitude, +p.pdop, +p.hdop, +p.vdop, +p.speed,
                      +p.direction, +p.satellites);
}
// Latitude, longitude and altitude of a point, or as expected.
inline std::tuple<double, double, float> Place(const ferolin::TrackPoint& p) {
    return {+p.latitude, +p.longitude, +p.altitude};
}
inline std::tuple<double, double, float> Place(double latitude, double longitude, float altitude) {
    return {latitude, longitude, altitude};
}

// Writes `text` to a file named `name` in a fresh folder and reads it back
// through `reader`.
template <typename Reader>
ReadResult ReadFromFile(Reader reader, const std::string& name, const std::string& text) {
    TempDir dir;
    const std::string path = dir.File(name);
    WriteFile(path, text);
    ReadResult r;
    if constexpr (std::is_invocable_v<Reader, const std::string&, ferolin::TrackPointArray&, uint32_t&,
                                      ferolin::SensorChannels*>)
        r.status = reader(path, r.points, r.count, nullptr);
    else
        r.status = reader(path, r.points, r.count);
    return r;
}

}  // namespace ferolin_test
