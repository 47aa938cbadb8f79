// Garmin FIT beyond the reader cases of tests/data/fit/: the protocol's CRC,
// the writer read back by the reader, by gpsbabel and by an npm decoder, and
// the sensor channels through the selection and into GPX. The read-back files
// (.readback) list the points and channels as Table() prints them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <numbers>
#include <vector>

#include "convert/driver.h"
#include "core/paths.h"
#include "formats/fit.h"
#include "core/strings.h"
#include "core/track_geometry.h"
#include "formats/format_table.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

const std::string kData = FEROLIN_DATA_DIR "/fit/";

bool HasGpsbabel() { return std::system("command -v gpsbabel >/dev/null 2>&1") == 0; }

// Records the driver's messages.
struct RecordingHost : DriverHost {
    void ShowMessage(const std::string&, int id, MessageIcon, const std::string&) override { texts.push_back(LoadString(id)); }
    std::vector<std::string> Texts() const { return texts; }
    std::vector<std::string> texts;
};

// The protocol's CRC: a nibble at a time over its 16-entry table.
uint16_t NibbleCrc(const std::string& bytes) {
    static const uint16_t table[16] = {0x0000, 0xCC01, 0xD801, 0x1400, 0xF001, 0x3C00,
                                       0x2800, 0xE401, 0xA001, 0x6C00, 0x7800, 0xB401,
                                       0x5000, 0x9C01, 0x8801, 0x4400};
    uint16_t crc = 0;
    for (unsigned char b : bytes)
        for (int nibble : {b & 0xF, b >> 4}) {
            const uint16_t t = table[crc & 0xF];
            crc = static_cast<uint16_t>(((crc >> 4) & 0x0FFF) ^ t ^ table[nibble]);
        }
    return crc;
}

// The points and channels as the expected files list them.
std::string Table(const CurrentTrack& track) {
    std::string out = "# record date time latitude longitude altitude speed heart_rate cadence "
                      "power temperature\n";
    const CNumbers c;
    char line[256];
    for (uint32_t i = 0; i < track.count; ++i) {
        const TrackPoint& p = track.points[i];
        std::snprintf(line, sizeof line, "%d %02d/%02d/%04d %02d:%02d:%02.0f %.6f %.6f %.2f %.2f",
                      p.record, p.day, p.month, p.year, p.hour, p.minute, p.seconds, p.latitude,
                      p.longitude, p.altitude, p.speed);
        out += line;
        for (const SensorInfo& s : kSensorTable) {
            const float v = track.sensors.Value(s.sensor, i);
            std::snprintf(line, sizeof line, " %g", v);
            out += IsSensorValue(v) ? line : " -";
        }
        out += '\n';
    }
    return out;
}

CurrentTrack Load(const std::string& path, RecordingHost& host) {
    CurrentTrack track;
    LoadTrack(track, path, host);
    return track;
}

// The exported copy of `track` through the row of `extension`.
std::string Export(const CurrentTrack& track, const TempDir& dir, const std::string& name,
                   uint32_t options, const ExclusionRule* rule = nullptr) {
    RecordingHost host;
    SelectionCriteria criteria;
    std::vector<const ExclusionRule*> rules;
    if (rule) rules.push_back(rule);
    SetCriteriaRules(criteria, rules, track.fieldMask);
    const std::string path = dir.File(name);
    EXPECT_EQ(ExportToFile(track, path, FindWriterRow(FileExtension(path)), criteria, options, host), 0) << name;
    return path;
}

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
        if (pclose(p) != 0) out = "failed: " + out;
    }
    return out;
}

}  // namespace

TEST(FitCrc, MatchesTheProtocolsNibbleTable) {
    std::string bytes = "123456789";
    EXPECT_EQ(FitCrc(0, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0xBB3D);
    for (int i = 0; i < 300; ++i) bytes += static_cast<char>(i * 37 + 11);
    for (std::size_t n : {0, 7, 8, 9, 63, 300})
        EXPECT_EQ(FitCrc(0, reinterpret_cast<const uint8_t*>(bytes.data()), n),
                  NibbleCrc(bytes.substr(0, n))) << n;
}

// Activity and course files read back with the same points and channels;
// undated points get times at 10 km/h from the writer's clock.
TEST(FitWriter, WritesWhatItReads) {
    TempDir dir;
    RecordingHost host;
    const CurrentTrack basic = Load(kData + "basic.fit", host);
    for (uint32_t options : {kAllOptions, 0u}) {
        const CurrentTrack again = Load(Export(basic, dir, "again.fit", options), host);
        EXPECT_EQ(Table(again), ReadFile(kData + "basic.readback")) << options;
    }

    // Three undated points 1 km apart on the equator.
    CurrentTrack undated;
    undated.points = AllocateTrackPoints(3);
    undated.count = 3;
    for (int i = 0; i < 3; ++i) undated.points[i].longitude = i * 1000 / 6371000.0 * 180 / std::numbers::pi;
    const FixedClock clock("1700000000");
    const CurrentTrack dated = Load(Export(undated, dir, "undated.fit", kAllOptions), host);
    EXPECT_EQ(Table(dated), ReadFile(kData + "undated.readback"));
    EXPECT_TRUE(host.texts.empty());
}

// The selection keeps the channels with the points it keeps; GPX becomes 1.1
// with Garmin's extensions, valid by the schemas and read back by gpsbabel
// (which shows a cadence of 0 as none, and reads no power from GPX).
TEST(FitWriter, SensorChannelsFollowTheSelectionAndReachGpx) {
    TempDir dir;
    RecordingHost host;
    const CurrentTrack basic = Load(kData + "basic.fit", host);
    // A rule drops the second point: the values stay with the points kept.
    const ExclusionRule second{kDataRecord, kCompareEqual, 2};
    EXPECT_EQ(ReadFile(Export(basic, dir, "kept.csv", 0x49206, &second)),
              ReadFile(kData + "basic-second-dropped.csv"));

    const std::string gpx = Export(basic, dir, "basic.gpx", kAllOptions);
    const std::string schema = FEROLIN_SCHEMAS "/gpx-with-extensions.xsd";
    if (std::system("command -v xmllint >/dev/null 2>&1") == 0 && FileExists(schema)) {
        EXPECT_EQ(Output("xmllint --noout --schema " + schema + " '" + gpx + "' 2>&1"),
                  gpx + " validates\n");
    }
    EXPECT_NE(ReadFile(gpx).find("<gpxpx:PowerInWatts>250</gpxpx:PowerInWatts>"), std::string::npos);
    if (!HasGpsbabel()) GTEST_SKIP() << "gpsbabel is not installed";
    EXPECT_EQ(Output("gpsbabel -t -i gpx -f '" + gpx + "' -o unicsv,utc=0 -F - | cut -d, -f2-"),
              ReadFile(kData + "basic.gpsbabel.csv"));
}

// Both peers read the records of activity and course files (gpsbabel shows a
// cadence of 0 as none); the decoder checks both CRCs and sees the lap,
// session, activity and course messages.
TEST(FitPeers, GpsbabelAndTheNpmDecoderReadFerolinFit) {
    TempDir dir;
    RecordingHost host;
    const CurrentTrack basic = Load(kData + "basic.fit", host);
    const std::string activity = Export(basic, dir, "activity.fit", kAllOptions);
    const std::string course = Export(basic, dir, "course.fit", 0);
    bool ran = false;
    if (HasGpsbabel()) {
        ran = true;
        for (const std::string& file : {activity, course})
            EXPECT_EQ(Output("gpsbabel -t -i garmin_fit -f '" + file + "' -o unicsv,utc=0 -F - | cut -d, -f2-"),
                      ReadFile(kData + "basic.gpsbabel-fit.csv")) << file;
    }
    const std::string decoder = FEROLIN_NPM_PEERS "/node_modules/fit-file-parser";
    if (FileExists(decoder + "/package.json") &&
        std::system("command -v node >/dev/null 2>&1") == 0) {
        ran = true;
        const std::string node = "node " FEROLIN_PEER_SCRIPTS "/fit_file_parser.mjs " FEROLIN_NPM_PEERS " ";
        EXPECT_EQ(Output(node + activity), ReadFile(kData + "basic.activity.decoded"));
        EXPECT_EQ(Output(node + course), ReadFile(kData + "basic.course.decoded"));
    }
    if (!ran) GTEST_SKIP() << "neither gpsbabel nor node with fit-file-parser is installed";
}

// gpsbabel writes a course with distance, altitude and speed; where the GPX
// gives a speed of 0 it puts the speed from the positions (19.168 m/s).
TEST(FitPeers, FerolinReadsGpsbabelFit) {
    if (!HasGpsbabel()) GTEST_SKIP() << "gpsbabel is not installed";
    TempDir dir;
    const std::string babel = dir.File("babel.fit");
    ASSERT_EQ(Output("gpsbabel -t -i gpx -f '" + kData + "plain.gpx' -o garmin_fit -F '" + babel + "'"), "");
    RecordingHost host;
    EXPECT_EQ(Table(Load(babel, host)), ReadFile(kData + "gpsbabel.readback"));
    EXPECT_TRUE(host.texts.empty());
}

// The device's own totals, the sessions' summed over a multisport activity
// and the files chained (an invalid value is none, NaN where no session
// gives the field), and what each read left out.
TEST(FitReader, SumsTheSessionTotalsAndCountsWhatItLeavesOut) {
    constexpr double none = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* file;
        double ascent, descent, distance, timer;
        uint64_t noPosition, impossible;
    } cases[] = {
        {"sessions.fit", 125, 110, 17346.67, 4200.5, 0, 0},
        {"indoor_session.fit", none, none, 2500, 900, 2, 0},
        {"header_crc_stale.fit", 2, 1, 0.09, 3, 0, 0},
        {"no_altitude.fit", none, none, none, none, 2, 2},
        {"basic.fit", none, none, none, none, 1, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        CurrentReadReport() = ReadReport{};
        TrackPointArray points;
        uint32_t count = 0;
        SensorChannels sensors;
        ASSERT_EQ(ReadFitFile(kData + c.file, points, count, &sensors), ReadStatus::kOk);
        const ReadReport& report = CurrentReadReport();
        const double want[] = {c.ascent, c.descent, c.distance, c.timer};
        const double got[] = {report.device.ascentMetres, report.device.descentMetres,
                              report.device.distanceMetres, report.device.timerSeconds};
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(std::isnan(want[i]) ? std::isnan(got[i]) : std::fabs(got[i] - want[i]) < 1e-9)
                << i << ": " << got[i];
        EXPECT_EQ(report.leftOut[static_cast<int>(LeftOut::kNoPosition)], c.noPosition);
        EXPECT_EQ(report.leftOut[static_cast<int>(LeftOut::kImpossibleValue)], c.impossible);
    }
}

// FIT to TCX and back, and TCX to FIT and back: the points, segments, laps
// (a TCX course's laps have no start time to compare), the track's name and
// the course points with their names and the times they had.
TEST(FitAndTcx, RoundTripsKeepTheDocument) {
    const struct {
        const char* input;
        const char* via;
    } trips[] = {
        {"fit/laps.fit", "tcx"},
        {"fit/course_points.0x1.fit", "tcx"},
        {"tcx/activity.tcx", "fit"},
        {"tcx/course_points.0x0.tcx", "fit"},
    };
    for (const auto& trip : trips) {
        SCOPED_TRACE(trip.input);
        const std::string input = FEROLIN_DATA_DIR "/" + std::string(trip.input);
        const std::string back = FileExtension(input);
        struct Read {
            TrackPointArray points;
            uint32_t count = 0;
            SensorChannels sensors;
        } steps[3];
        TempDir dir;
        std::string path = input;
        for (int s = 0; s < 3; ++s) {
            const FormatEntry& row = FormatTable()[FindWriterRow(FileExtension(path))];
            ASSERT_EQ(row.reader(path, steps[s].points, steps[s].count, &steps[s].sensors), ReadStatus::kOk);
            if (s == 2) break;
            std::vector<ExportEntry> entries;
            for (uint32_t i = 0; i < steps[s].count; ++i) entries.push_back({&steps[s].points[i], steps[s].points[i].altitude, i});
            path = dir.File("step" + std::to_string(s) + "." + (s == 0 ? trip.via : back));
            const FormatEntry& out = FormatTable()[FindWriterRow(FileExtension(path))];
            ASSERT_EQ(out.writer(path, entries.data(), steps[s].count, kAllOptions, &steps[s].sensors), 0);
        }
        const TrackDocument& a = steps[0].sensors.document;
        for (int s = 1; s < 3; ++s) {
            const TrackDocument& b = steps[s].sensors.document;
            EXPECT_EQ(steps[s].count, steps[0].count) << s;
            EXPECT_EQ(b.SegmentStarts(), a.SegmentStarts()) << s;
            EXPECT_EQ(b.TrackName(0), a.TrackName(0)) << s;
            ASSERT_EQ(b.laps.size(), a.laps.size()) << s;
            for (std::size_t k = 0; k < a.laps.size(); ++k) {
                EXPECT_EQ(b.laps[k].firstPoint, a.laps[k].firstPoint) << s;
                if (!std::isnan(a.laps[k].startTime) && !std::isnan(b.laps[k].startTime)) {
                    EXPECT_EQ(b.laps[k].startTime, a.laps[k].startTime) << s;
                }
            }
            ASSERT_EQ(b.waypoints.size(), a.waypoints.size()) << s;
            for (std::size_t k = 0; k < a.waypoints.size(); ++k) {
                EXPECT_EQ(b.waypoints[k].name, a.waypoints[k].name) << s;
                if (!(a.waypoints[k].absent & kFieldTime)) {
                    EXPECT_EQ(PointSeconds(b.waypoints[k].point), PointSeconds(a.waypoints[k].point)) << s;
                }
            }
        }
    }
}
