// The training and web formats (TCX, GeoJSON, GPX with sensor extensions)
// beyond their file cases (tests/data/{tcx,geojson,gpx}/, run by the format
// cases): the TCX schema, sensor values through every format, and the peer
// programs where they are installed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>

#include <zip.h>

#include "convert/driver.h"
#include "core/strings.h"
#include "formats/fit.h"
#include "formats/geojson.h"
#include "formats/gpx.h"
#include "formats/kmz.h"
#include "formats/tcx.h"
#include "data_cases.h"
#include "document_table.h"
#include "reader_test_support.h"
#include "test_support.h"
#include "track_columns.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

namespace fs = std::filesystem;

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

namespace {

// The member `name` of a zip archive, and its date as stored ("" when the
// archive or the member cannot be read).
std::string ZipMember(const std::string& archive, const char* name, std::tm& date) {
    int error = 0;
    zip_t* zip = zip_open(archive.c_str(), ZIP_RDONLY, &error);
    if (!zip) return "";
    std::string text;
    zip_stat_t stat;
    if (zip_get_num_entries(zip, 0) == 1 && zip_stat(zip, name, 0, &stat) == 0) {
        localtime_r(&stat.mtime, &date);  // libzip gives the stored fields as local time
        if (zip_file_t* file = zip_fopen(zip, name, 0)) {
            text.resize(stat.size);
            if (zip_fread(file, text.data(), stat.size) != static_cast<zip_int64_t>(stat.size)) text.clear();
            zip_fclose(file);
        }
    }
    zip_discard(zip);
    return text;
}

}  // namespace

// Each table tests/data/kmz/NAME.points with NAME.doc.kml beside it: the
// archive written holds that doc.kml alone, dated by the writer's clock
// (to the two seconds of a zip date), byte for byte the same when written
// again, and reads back as the table's points, channels and document;
// gpsbabel reads its positions.
TEST(WebFormats, KmzArchivesHoldTheirDocumentAndReadBack) {
    int cases = 0;
    for (const auto& entry : fs::directory_iterator(DataFolder("kmz"))) {
        const std::string tablePath = entry.path().string();
        if (entry.path().extension() != ".points" || !fs::exists(entry.path().parent_path() / (entry.path().stem().string() + ".doc.kml")))
            continue;
        SCOPED_TRACE(tablePath);
        ++cases;
        PointTable table = ReadPointTable(tablePath, kSensedColumns, kDocumentColumns);
        ASSERT_EQ(table.error, "");
        std::string error;
        SensorChannels sensors;
        sensors.document = DocumentOf(table, error);
        ASSERT_EQ(error, "");
        const uint8_t named = AbsentColumn(table);
        const std::vector<SensedPoint> sensed = RecordsOf<SensedPoint>(table, kSensedColumns);
        const uint32_t n = static_cast<uint32_t>(sensed.size());
        std::vector<ExportEntry> entries;
        for (uint32_t i = 0; i < n; ++i) entries.push_back({&sensed[i].point, sensed[i].point.altitude, i});
        for (const SensorInfo& s : kSensorTable)
            if (table.Has(kSensedColumns[16 + static_cast<int>(s.sensor)].name))
                for (uint32_t i = 0; i < n; ++i) sensors.Channel(s.sensor, n)[i] = sensed[i].sensors[static_cast<int>(s.sensor)];
        for (uint32_t i = 0; i < n; ++i)
            if (sensed[i].absent) sensors.MarkAbsent(i, sensed[i].absent);

        const FixedClock clock("1173103629");  // 5 March 2007, 14:07:09 UTC
        TempDir dir;
        const std::string stem = entry.path().stem().string();
        const std::string path = dir.File(stem + ".kmz"), again = dir.File("again/" + stem + ".kmz");
        fs::create_directory(dir.File("again"));
        ASSERT_EQ(WriteKmzFile(path, entries.data(), n, 0, &sensors), 0);
        ASSERT_EQ(WriteKmzFile(again, entries.data(), n, 0, &sensors), 0);
        EXPECT_TRUE(ReadFile(path) == ReadFile(again)) << "two writings differ";
        std::tm date{};
        const std::string kml = ZipMember(path, "doc.kml", date);
        EXPECT_EQ(kml, ReadFile(DataFolder("kmz") + "/" + stem + ".doc.kml"));
        EXPECT_EQ(std::vector<int>({date.tm_year + 1900, date.tm_mon + 1, date.tm_mday, date.tm_hour, date.tm_min, date.tm_sec}),
                  std::vector<int>({2007, 3, 5, 14, 7, 8}));

        TrackPointArray points;
        uint32_t count = 0;
        SensorChannels back;
        ASSERT_EQ(ReadKmzFile(path, points, count, &back), ReadStatus::kOk);
        std::vector<SensedPoint> read(count);
        for (uint32_t i = 0; i < count; ++i) {
            read[i].point = points[i];
            read[i].point.record = 0;
            for (const SensorInfo& s : kSensorTable) read[i].sensors[static_cast<int>(s.sensor)] = back.Value(s.sensor, i);
            for (uint8_t bit = 1; bit; bit = static_cast<uint8_t>(bit << 1))
                if ((named & bit) && back.Lacks(i, bit)) read[i].absent |= bit;
        }
        const std::string differences = CompareWithTable(table, kSensedColumns, read.data(), sizeof(SensedPoint), count);
        EXPECT_TRUE(differences.empty()) << differences;
        const std::string parts = CompareDocument(table, back.document, count);
        EXPECT_TRUE(parts.empty()) << parts;

        if (!Have("gpsbabel")) continue;
        WriteFile(dir.File("doc.kml"), kml);
        const auto babel = ReadWithGpsbabel("-t", "kml", dir.File("doc.kml"));
        ASSERT_EQ(babel.size(), n);
        const CNumbers cNumbers;
        for (uint32_t i = 0; i < n; ++i) {
            EXPECT_NEAR(std::strtod(babel[i][0].c_str(), nullptr), sensed[i].point.latitude, 1e-6) << i;
            EXPECT_NEAR(std::strtod(babel[i][1].c_str(), nullptr), sensed[i].point.longitude, 1e-6) << i;
            if (!(sensed[i].absent & kFieldTime)) {
                EXPECT_EQ(babel[i][2] + " " + babel[i][3].substr(0, 8), Clock(sensed[i].point)) << i;
            }
        }
    }
    EXPECT_GE(cases, 1);
}
