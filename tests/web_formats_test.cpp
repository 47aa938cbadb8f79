// The training and web formats (TCX, GeoJSON, GPX with sensor extensions) on
// the cases under tests/data/{tcx,geojson,gpx}/ (layout in
// tests/data/README.md; the sensor columns are heart_rate, cadence, power and
// temperature, `nan` where a point has no value, and a channel a table does
// not name must be absent), then against the peer programs where they are
// installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "formats/fit.h"
#include "formats/geojson.h"
#include "formats/gpx.h"
#include "formats/tcx.h"
#include "reader_test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

namespace fs = std::filesystem;

// The columns of a table: the record's fields (with their type: 1, 2, 4 bytes
// of integer, 'f' float, 'd' double) and the sensor channels.
struct Column {
    const char* name;
    char type;
    std::size_t offset;
};
constexpr Column kColumns[] = {
    {"record", 4, offsetof(TrackPoint, record)},       {"day", 1, offsetof(TrackPoint, day)},
    {"month", 1, offsetof(TrackPoint, month)},         {"year", 2, offsetof(TrackPoint, year)},
    {"hour", 1, offsetof(TrackPoint, hour)},           {"minute", 1, offsetof(TrackPoint, minute)},
    {"seconds", 'f', offsetof(TrackPoint, seconds)},   {"latitude", 'd', offsetof(TrackPoint, latitude)},
    {"longitude", 'd', offsetof(TrackPoint, longitude)}, {"altitude", 'f', offsetof(TrackPoint, altitude)},
    {"speed", 'f', offsetof(TrackPoint, speed)},       {"direction", 'f', offsetof(TrackPoint, direction)},
};
constexpr const char* kSensorColumns[kSensorCount] = {"heart_rate", "cadence", "power", "temperature"};

double Get(const TrackPoint& p, const Column& c) {
    const char* at = reinterpret_cast<const char*>(&p) + c.offset;
    int8_t i8;
    int16_t i16;
    int32_t i32;
    float f;
    double d;
    switch (c.type) {
        case 1: return std::memcpy(&i8, at, 1), i8;
        case 2: return std::memcpy(&i16, at, 2), i16;
        case 4: return std::memcpy(&i32, at, 4), i32;
        case 'f': return std::memcpy(&f, at, 4), f;
        default: return std::memcpy(&d, at, 8), d;
    }
}

void Set(TrackPoint& p, const Column& c, double v) {
    char* at = reinterpret_cast<char*>(&p) + c.offset;
    const auto put = [at](auto value) { std::memcpy(at, &value, sizeof value); };
    switch (c.type) {
        case 1: return put(static_cast<int8_t>(v));
        case 2: return put(static_cast<int16_t>(v));
        case 4: return put(static_cast<int32_t>(v));
        case 'f': return put(static_cast<float>(v));
        default: return put(v);
    }
}

struct Table {
    bool failed = false;  // directive: the read must fail
    std::vector<std::string> header;
    std::vector<std::vector<double>> rows;

    int Column(const std::string& name) const {
        for (std::size_t i = 0; i < header.size(); ++i)
            if (header[i] == name) return static_cast<int>(i);
        return -1;
    }
};

Table ReadTable(const std::string& path) {
    const CNumbers cNumbers;  // the tables' numbers, whatever the test's locale
    Table t;
    std::istringstream in(ReadFile(path));
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string first;
        if (!(words >> first) || first[0] == '#') continue;
        if (first == "failed") {
            t.failed = true;
        } else if (t.header.empty()) {
            for (std::string w = first; !w.empty(); w.clear(), words >> w) t.header.push_back(w);
        } else {
            std::vector<double> row{std::stod(first)};
            for (std::string w; words >> w;) row.push_back(std::stod(w));
            t.rows.push_back(row);
        }
    }
    return t;
}

// The differences between the points read and the table, one line each.
std::string Compare(const Table& want, const TrackPoint* points, uint32_t count, const SensorChannels& sensors) {
    std::ostringstream out;
    if (count != want.rows.size()) out << count << " points read, " << want.rows.size() << " listed\n";
    const auto differ = [](double got, double expected, char type) {
        if (std::isnan(expected)) return !std::isnan(got);
        const double tolerance = type == 'd' ? 1e-9 : type == 'f' ? 1e-6 : 0;
        return !(std::fabs(got - expected) <= tolerance * std::max(1.0, std::fabs(expected)));
    };
    for (int s = 0; s < kSensorCount; ++s)
        if (want.Column(kSensorColumns[s]) < 0 && sensors.Has(static_cast<Sensor>(s)))
            out << "channel " << kSensorColumns[s] << " present\n";
    for (uint32_t i = 0; i < count && i < want.rows.size(); ++i) {
        for (const auto& c : kColumns) {
            const int k = want.Column(c.name);
            const double got = Get(points[i], c), expected = k < 0 ? 0 : want.rows[i][k];
            if (differ(got, expected, c.type)) out << "point " << i + 1 << " " << c.name << ": " << got << " not " << expected << "\n";
        }
        for (int s = 0; s < kSensorCount; ++s) {
            const int k = want.Column(kSensorColumns[s]);
            const double got = sensors.Value(static_cast<Sensor>(s), i);
            if (k >= 0 && differ(got, want.rows[i][k], 'f'))
                out << "point " << i + 1 << " " << kSensorColumns[s] << ": " << got << " not " << want.rows[i][k] << "\n";
        }
    }
    return out.str();
}

struct Format {
    const char* folder;
    ReaderFn file;
};
const Format kFormats[] = {{"tcx", ReadTcxFile}, {"geojson", ReadGeoJsonFile}, {"gpx", ReadGpxTrack}};

std::string DataFolder(const std::string& folder) { return std::string(FEROLIN_DATA_DIR) + "/" + folder; }

// A reader case: INPUT and INPUT.points; a writer case: TITLE.points and the
// expected TITLE.0xOPTIONS.EXT.
struct Case {
    std::string name, folder, input, table, title;
    uint32_t options = 0;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::vector<Case> Cases(bool writers) {
    std::vector<Case> cases;
    for (const Format& f : kFormats) {
        const fs::path folder = DataFolder(f.folder);
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string file = entry.path().filename().string();
            if (entry.path().extension() != std::string(".") + f.folder) continue;
            Case c{"", f.folder, entry.path().string(), entry.path().string() + ".points", ""};
            const std::string stem = entry.path().stem().string();  // TITLE.0xOPTIONS
            const std::size_t dot = stem.rfind(".0x");
            if (writers) {
                if (dot == std::string::npos) continue;
                c.title = stem.substr(0, dot);
                c.table = (folder / (c.title + ".points")).string();
                c.options = static_cast<uint32_t>(std::stoul(stem.substr(dot + 1), nullptr, 16));
            } else if (!fs::exists(c.table)) {
                continue;
            }
            for (char ch : std::string(f.folder) + "_" + file) c.name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
            cases.push_back(c);
        }
    }
    std::sort(cases.begin(), cases.end(), [](const Case& a, const Case& b) { return a.name < b.name; });
    return cases;
}

bool Have(const char* program) { return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0; }

// The TCX schema with its activity extension (FEROLIN_SCHEMA_DIR in CMake).
const std::string kTcxSchema = FEROLIN_SCHEMAS "/tcx-with-extensions.xsd";
bool CanValidateTcx() { return Have("xmllint") && fs::exists(kTcxSchema); }

// xmllint's verdict on a TCX file.
bool ValidTcx(const std::string& path) {
    return std::system(("xmllint --noout --schema '" + kTcxSchema + "' '" + path + "' 2>/dev/null").c_str()) == 0;
}

class WebRead : public ::testing::TestWithParam<Case> {};
class WebWrite : public ::testing::TestWithParam<Case> {};

}  // namespace

TEST_P(WebRead, GivesThePointsOfItsTable) {
    const Case& c = GetParam();
    const Table want = ReadTable(c.table);
    const Format& f = *std::find_if(std::begin(kFormats), std::end(kFormats),
                                    [&c](const Format& x) { return c.folder == x.folder; });
    TrackPointArray points;
    uint32_t count = 0;
    SensorChannels sensors;
    const ReadStatus status = f.file(c.input, points, count, &sensors);
    EXPECT_EQ(status != ReadStatus::kOk, want.failed) << "status " << static_cast<int>(status);
    const std::string differences = Compare(want, points.get(), count, sensors);
    EXPECT_TRUE(differences.empty()) << differences;

    // Through the format table, with the driver's messages.
    RecordingHost host;
    CurrentTrack track;
    LoadTrack(track, c.input, host);
    std::vector<std::string> messages;
    if (want.failed) messages = {"Cannot open the file."};
    else if (want.rows.empty()) messages = {"No track point in the file."};
    EXPECT_EQ(host.Texts(), messages);
    EXPECT_EQ(track.count, count);
}

TEST_P(WebWrite, WritesItsExpectedFile) {
    const Case& c = GetParam();
    const Table table = ReadTable(c.table);
    std::vector<TrackPoint> points(table.rows.size());
    std::vector<ExportEntry> entries;
    SensorChannels sensors;
    for (uint32_t i = 0; i < points.size(); ++i) {
        for (const auto& column : kColumns)
            if (const int k = table.Column(column.name); k >= 0) Set(points[i], column, table.rows[i][k]);
        entries.push_back({&points[i], points[i].altitude, i});
        for (int s = 0; s < kSensorCount; ++s)
            if (const int k = table.Column(kSensorColumns[s]); k >= 0)
                sensors.Channel(static_cast<Sensor>(s), static_cast<uint32_t>(points.size()))[i] =
                    static_cast<float>(table.rows[i][k]);
    }
    const FixedClock clock("1173103629");  // 5 March 2007, 14:07:09 UTC
    TempDir dir;
    const std::string path = dir.File(c.title + "." + c.folder);
    const FormatEntry& row = FormatTable()[FindWriterRow(c.folder)];
    EXPECT_EQ(row.writer(path, entries.data(), static_cast<uint32_t>(entries.size()), c.options, &sensors), 0);
    EXPECT_EQ(ReadFile(path), ReadFile(c.input));
    if (c.folder == "tcx" && CanValidateTcx()) EXPECT_TRUE(ValidTcx(path));
}

// Every TCX file the tests write is checked against the schema when both are
// at hand; this says when they are not.
TEST(WebFormats, TcxSchemaCheckIsAtHand) {
    if (!Have("xmllint")) GTEST_SKIP() << "xmllint (libxml2-utils) is not installed: written TCX files are not validated";
    if (!fs::exists(kTcxSchema)) GTEST_SKIP() << kTcxSchema << " is missing: written TCX files are not validated";
    EXPECT_FALSE(ValidTcx(DataFolder("tcx") + "/activity.tcx"));  // a latitude that is no number
    EXPECT_TRUE(ValidTcx(DataFolder("tcx") + "/ride.0xffffffff.tcx"));
}

INSTANTIATE_TEST_SUITE_P(Data, WebRead, ::testing::ValuesIn(Cases(false)),
                         [](const auto& info) { return info.param.name; });
INSTANTIATE_TEST_SUITE_P(Data, WebWrite, ::testing::ValuesIn(Cases(true)),
                         [](const auto& info) { return info.param.name; });

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
    RecordingHost host;
    host.options = kAllOptions;
    ASSERT_EQ(ExportToFile(ride, dir.File("ride.fit"), FindWriterRow("fit"), host), 0);
    CurrentTrack fit;
    ASSERT_EQ(LoadTrack(fit, dir.File("ride.fit"), host), 0);
    for (const char* extension : {"tcx", "gpx", "geojson"}) {
        SCOPED_TRACE(extension);
        const std::string path = dir.File(std::string("ride.") + extension);
        ASSERT_EQ(ExportToFile(fit, path, FindWriterRow(extension), host), 0);
        if (std::string(extension) == "tcx" && CanValidateTcx()) EXPECT_TRUE(ValidTcx(path));
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
                EXPECT_TRUE(want == got || (std::isnan(want) && std::isnan(got))) << i << " " << kSensorColumns[s] << " " << got;
            }
        }
    }
    EXPECT_TRUE(host.messages.empty());
}

// gpsbabel reads Ferolin's TCX, GPX 1.1 and GeoJSON with the same positions
// (and times, where its reader takes them); Ferolin reads gpsbabel's TCX and
// GeoJSON with the same points; GDAL opens the GeoJSON as one line.
TEST(WebFormats, PeersAgreeOnPositionsAndTimes) {
    if (!HasGpsbabel()) GTEST_SKIP() << "gpsbabel is not installed";
    CurrentTrack ride;
    MakeRide(ride, 40);
    TempDir dir;
    RecordingHost host;
    host.options = kAllOptions;
    const struct {
        const char* extension;
        const char* babelFormat;
        const char* kind;  // what gpsbabel makes of the line: track or route
        bool times;
    } peers[] = {{"gpx", "gpx", "-t", true}, {"tcx", "gtrnctr", "-t", true}, {"geojson", "geojson", "-r", false}};
    for (const auto& peer : peers) {
        SCOPED_TRACE(peer.extension);
        const std::string path = dir.File(std::string("ride.") + peer.extension);
        ASSERT_EQ(ExportToFile(ride, path, FindWriterRow(peer.extension), host), 0);
        const std::vector<BabelPoint> babel = ReadWithGpsbabel(peer.babelFormat, path, dir.File("b.csv"), peer.kind);
        ASSERT_EQ(babel.size(), ride.count);
        for (uint32_t i = 0; i < ride.count; ++i) {
            EXPECT_NEAR(babel[i].latitude, ride.points[i].latitude, 1e-6) << i;
            EXPECT_NEAR(babel[i].longitude, ride.points[i].longitude, 1e-6) << i;
            if (peer.times) EXPECT_EQ(babel[i].date + " " + babel[i].time.substr(0, 8), Clock(ride.points[i])) << i;
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
            if (peer.times) EXPECT_EQ(Clock(back.points[i]), Clock(ride.points[i])) << i;
        }
    }
    if (!Have("ogrinfo")) GTEST_SKIP() << "GDAL's ogrinfo is not installed";
    const std::string report = dir.File("ogr.txt");
    ASSERT_EQ(std::system(("ogrinfo -ro -al -so '" + dir.File("ride.geojson") + "' > '" + report + "' 2>&1").c_str()), 0);
    const std::string info = ReadFile(report);
    EXPECT_NE(info.find("Geometry: 3D Line String"), std::string::npos) << info;
    EXPECT_NE(info.find("Feature Count: 1"), std::string::npos) << info;
}
