// The training and web formats (TCX, GeoJSON, GPX with sensor extensions)
// beyond their file cases (tests/data/{tcx,geojson,gpx}/, run by the format
// cases): the TCX schema, sensor values through every format, and the peer
// programs where they are installed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "convert/driver.h"
#include "core/strings.h"
#include "formats/fit.h"
#include "formats/geojson.h"
#include "formats/gpx.h"
#include "formats/tcx.h"
#include "reader_test_support.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

namespace fs = std::filesystem;

std::string DataFolder(const std::string& folder) { return std::string(FEROLIN_DATA_DIR) + "/" + folder; }

bool Have(const char* program) { return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0; }

// The TCX schema with its activity extension (FEROLIN_SCHEMA_DIR in CMake).
const std::string kTcxSchema = FEROLIN_SCHEMAS "/tcx-with-extensions.xsd";
bool CanValidateTcx() { return Have("xmllint") && fs::exists(kTcxSchema); }

// xmllint's verdict on a TCX file.
bool ValidTcx(const std::string& path) {
    return std::system(("xmllint --noout --schema '" + kTcxSchema + "' '" + path + "' 2>/dev/null").c_str()) == 0;
}

// Keeps the texts of the driver's messages.
struct Host : DriverHost {
    void ShowMessage(const std::string&, int id, MessageIcon, const std::string&) override { messages.push_back(LoadString(id)); }
    std::vector<std::string> messages;
};

// The points gpsbabel reads from `path` (its tracks, or with `kind` "-r" its
// routes), as unicsv lines: latitude, longitude, date and time.
std::vector<std::vector<std::string>> ReadWithGpsbabel(const std::string& kind, const std::string& format,
                                                        const std::string& path) {
    const std::string command =
        "gpsbabel " + kind + " -i " + format + " -f '" + path + "' -o unicsv,utc=0 -F - 2>/dev/null";
    std::vector<std::vector<std::string>> rows;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return rows;
    std::vector<std::string> header;
    for (char line[4096]; std::fgets(line, sizeof line, pipe);) {
        std::vector<std::string> cells;
        std::istringstream row(std::string(line).substr(0, std::strcspn(line, "\r\n")));
        for (std::string cell; std::getline(row, cell, ',');) cells.push_back(cell);
        if (header.empty()) {
            header = cells;
            continue;
        }
        std::vector<std::string> point(4);
        for (std::size_t i = 0; i < header.size() && i < cells.size(); ++i) {
            const int k = header[i] == "Latitude" ? 0 : header[i] == "Longitude" ? 1 : header[i] == "Date" ? 2
                        : header[i] == "Time"     ? 3 : -1;
            if (k >= 0) point[k] = cells[i];
        }
        rows.push_back(point);
    }
    pclose(pipe);
    return rows;
}

}  // namespace

// The TCX files of the writer cases (which the writer must write byte for
// byte, tests/data/tcx/*.0x*.tcx) are valid against the schema and its
// activity extension, and the checker refuses an invalid one.
TEST(WebFormats, WrittenTcxFilesValidateAgainstTheSchema) {
    if (!Have("xmllint")) GTEST_SKIP() << "xmllint (libxml2-utils) is not installed";
    if (!fs::exists(kTcxSchema)) GTEST_SKIP() << kTcxSchema << " is missing";
    EXPECT_FALSE(ValidTcx(DataFolder("tcx") + "/activity.tcx"));  // a latitude that is no number
    int written = 0;
    for (const auto& entry : fs::directory_iterator(DataFolder("tcx")))
        if (entry.path().extension() == ".tcx" && entry.path().stem().string().find(".0x") != std::string::npos) {
            EXPECT_TRUE(ValidTcx(entry.path().string())) << entry.path();
            ++written;
        }
    EXPECT_GE(written, 3);
}

// The GPX files of the writer cases (tests/data/gpx/*.0x*.gpx) are valid too:
// GPX 1.0, or GPX 1.1 with Garmin's extensions for a track with sensor data;
// Strava's bare <power> is not.
TEST(WebFormats, WrittenGpxFilesValidateAgainstTheSchemas) {
    const std::string gpx10 = FEROLIN_SCHEMAS "/gpx10.xsd", gpx11 = FEROLIN_SCHEMAS "/gpx-with-extensions.xsd";
    if (!Have("xmllint") || !fs::exists(gpx10) || !fs::exists(gpx11)) GTEST_SKIP() << "no xmllint or GPX schemas";
    const auto valid = [](const std::string& schema, const std::string& path) {
        return std::system(("xmllint --noout --schema '" + schema + "' '" + path + "' 2>/dev/null").c_str()) == 0;
    };
    EXPECT_FALSE(valid(gpx11, DataFolder("gpx") + "/strava.gpx"));
    int written = 0;
    for (const auto& entry : fs::directory_iterator(DataFolder("gpx")))
        if (entry.path().extension() == ".gpx" && entry.path().stem().string().find(".0x") != std::string::npos) {
            const std::string path = entry.path().string();
            const bool v11 = ReadFile(path).find("version=\"1.1\"") != std::string::npos;
            EXPECT_TRUE(valid(v11 ? gpx11 : gpx10, path)) << path;
            ++written;
        }
    EXPECT_GE(written, 10);
}

namespace {

// A ride of `n` dated points with every sensor channel (whole numbers, which
// every format keeps), loaded as a track.
void MakeRide(CurrentTrack& track, uint32_t n) {
    constexpr int kBase[kSensorCount] = {100, 70, 200, 10};
    track.points = AllocateTrackPoints(n);
    track.count = n;
    for (uint32_t i = 0; i < n; ++i) {
        track.points[i] = WithFix(DatedPoint(47.25 + i * 1e-4, 8.5 - i * 2e-4, 2024, 5, 1, 9, i / 60, static_cast<float>(i % 60)),
                                  {.record = static_cast<int>(i + 1), .altitude = 400.0f + i, .speed = 18});
        for (int s = 0; s < kSensorCount; ++s)
            track.sensors.Channel(static_cast<Sensor>(s), n)[i] = static_cast<float>(kBase[s] + i % 50);
    }
    track.sensors.Channel(Sensor::kHeartRate, n)[3] = kNoSensorValue;
}

std::string Clock(const TrackPoint& p) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                  static_cast<int>(p.seconds));
    return text;
}

}  // namespace

// A FIT activity with heart rate and power, converted to TCX, GPX and GeoJSON
// and read back, keeps every sensor value (TCX has no temperature).
TEST(WebFormats, SensorValuesSurviveFitToEachFormatAndBack) {
    CurrentTrack ride;
    MakeRide(ride, 120);
    TempDir dir;
    Host host;
    ASSERT_EQ(ExportToFile(ride, dir.File("ride.fit"), FindWriterRow("fit"), {}, kAllOptions, host), 0);
    CurrentTrack fit;
    ASSERT_EQ(LoadTrack(fit, dir.File("ride.fit"), host), 0);
    for (const char* extension : {"tcx", "gpx", "geojson"}) {
        SCOPED_TRACE(extension);
        const std::string path = dir.File(std::string("ride.") + extension);
        ASSERT_EQ(ExportToFile(fit, path, FindWriterRow(extension), {}, kAllOptions, host), 0);
        if (std::string(extension) == "tcx" && CanValidateTcx()) {
            EXPECT_TRUE(ValidTcx(path));
        }
        CurrentTrack back;
        ASSERT_EQ(LoadTrack(back, path, host), 0);
        ASSERT_EQ(back.count, ride.count);
        for (uint32_t i = 0; i < back.count; ++i) {
            EXPECT_EQ(Clock(back.points[i]), Clock(ride.points[i])) << i;
            EXPECT_NEAR(back.points[i].latitude, ride.points[i].latitude, 1e-6) << i;
            for (int s = 0; s < kSensorCount; ++s) {
                const auto sensor = static_cast<Sensor>(s);
                if (sensor == Sensor::kTemperature && std::string(extension) == "tcx") continue;
                const float want = ride.sensors.Value(sensor, i), got = back.sensors.Value(sensor, i);
                EXPECT_TRUE(want == got || (std::isnan(want) && std::isnan(got))) << i << " " << kSensorTable[s].name << " " << got;
            }
        }
    }
    EXPECT_TRUE(host.messages.empty());
}

// gpsbabel reads Ferolin's TCX, GPX 1.1 and GeoJSON with the same positions
// (and times, where its reader takes them); Ferolin reads gpsbabel's TCX and
// GeoJSON with the same points; GDAL opens the GeoJSON as one line.
TEST(WebFormats, PeersAgreeOnPositionsAndTimes) {
    if (!Have("gpsbabel")) GTEST_SKIP() << "gpsbabel is not installed";
    CurrentTrack ride;
    MakeRide(ride, 40);
    TempDir dir;
    Host host;
    const struct {
        const char* extension;
        const char* babelFormat;
        const char* kind;  // what gpsbabel makes of the line: track or route
        bool times;
    } peers[] = {{"gpx", "gpx", "-t", true}, {"tcx", "gtrnctr", "-t", true}, {"geojson", "geojson", "-r", false}};
    for (const auto& peer : peers) {
        SCOPED_TRACE(peer.extension);
        const std::string path = dir.File(std::string("ride.") + peer.extension);
        ASSERT_EQ(ExportToFile(ride, path, FindWriterRow(peer.extension), {}, kAllOptions, host), 0);
        const auto babel = ReadWithGpsbabel(peer.kind, peer.babelFormat, path);
        ASSERT_EQ(babel.size(), ride.count);
        const CNumbers cNumbers;
        for (uint32_t i = 0; i < ride.count; ++i) {
            EXPECT_NEAR(std::strtod(babel[i][0].c_str(), nullptr), ride.points[i].latitude, 1e-6) << i;
            EXPECT_NEAR(std::strtod(babel[i][1].c_str(), nullptr), ride.points[i].longitude, 1e-6) << i;
            if (peer.times) {
                EXPECT_EQ(babel[i][2] + " " + babel[i][3].substr(0, 8), Clock(ride.points[i])) << i;
            }
        }
        if (std::string(peer.extension) == "gpx") continue;
        // gpsbabel's own file of the same track (made from the GPX, written
        // first), read by Ferolin.
        const std::string theirs = dir.File(std::string("babel.") + peer.extension);
        const std::string command = "gpsbabel -t -i gpx -f '" + dir.File("ride.gpx") + "' -o " + peer.babelFormat +
                                    " -F '" + theirs + "' 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
        CurrentTrack back;
        ASSERT_EQ(LoadTrack(back, theirs, host), 0);
        ASSERT_EQ(back.count, ride.count);
        for (uint32_t i = 0; i < ride.count; ++i) {
            EXPECT_NEAR(back.points[i].latitude, ride.points[i].latitude, 1e-6) << i;
            EXPECT_NEAR(back.points[i].longitude, ride.points[i].longitude, 1e-6) << i;
            if (peer.times) {
                EXPECT_EQ(Clock(back.points[i]), Clock(ride.points[i])) << i;
            }
        }
    }
    if (!Have("ogrinfo")) GTEST_SKIP() << "GDAL's ogrinfo is not installed";
    const std::string report = dir.File("ogr.txt");
    ASSERT_EQ(std::system(("ogrinfo -ro -al -so '" + dir.File("ride.geojson") + "' > '" + report + "' 2>&1").c_str()), 0);
    const std::string info = ReadFile(report);
    EXPECT_NE(info.find("Geometry: 3D Line String"), std::string::npos) << info;
    EXPECT_NE(info.find("Feature Count: 1"), std::string::npos) << info;
}
