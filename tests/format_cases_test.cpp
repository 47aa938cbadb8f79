// The readers and writers of every file format, run on the cases under
// tests/data/<format>/: an input file against the point table it must give,
// a point table and an option word against the file the writer must write.
// tests/data/README.md describes the layout; a new case is new files only.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "convert/driver.h"
#include "core/strings.h"
#include "devices/logger.h"
#include "formats/bluegps.h"
#include "formats/fit.h"
#include "formats/format_table.h"
#include "formats/geojson.h"
#include "formats/gpx.h"
#include "formats/kml.h"
#include "formats/kmz.h"
#include "formats/magellan.h"
#include "formats/native.h"
#include "formats/nmea.h"
#include "formats/ozi_plt.h"
#include "formats/pcx5.h"
#include "formats/rando.h"
#include "formats/tcx.h"
#include "data_cases.h"
#include "document_table.h"
#include "track_columns.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

// A logger's record frames as captured from the line, read the way the
// download reads them once the transfer has started.
ReadStatus ReadLoggerCapture(const std::string& path, TrackPointArray& points, uint32_t& count, SensorChannels*) {
    struct Memory : LoggerByteSource {
        std::string bytes;
        std::size_t at = 0;
        std::size_t Read(uint8_t* data, std::size_t size) override {
            const std::size_t n = std::min(size, bytes.size() - at);
            std::memcpy(data, bytes.data() + at, n);
            at += n;
            return n;
        }
    } memory;
    points.reset();
    count = 0;
    if (!FileExists(path)) return ReadStatus::kCannotOpen;
    memory.bytes = ReadFile(path);
    return ReceiveLoggerRecords(memory, 0xFFFFFFFFu, points, count);
}

// The reader each folder's inputs go through ("load" goes through the driver
// and the format table).
struct FolderReader {
    const char* folder;
    ReaderFn file;
};
const FolderReader kReaders[] = {
    {"bluegps", WithoutSensors<ReadBlueGpsLog>}, {"native", WithoutSensors<ReadNativeTrack>},
    {"nmea", WithoutSensors<ReadNmeaLog>},       {"magellan", WithoutSensors<ReadMagellanLog>},
    {"pcx5", WithoutSensors<ReadPcx5Track>},     {"plt", ReadOziTrack},
    {"gpx", ReadGpxTrack},                       {"kml", ReadKmlTrack},
    {"rando", WithoutSensors<ReadRandoHike>},    {"fit", ReadFitFile},
    {"tcx", ReadTcxFile},                        {"geojson", ReadGeoJsonFile},
    {"logger", ReadLoggerCapture},               {"load", nullptr},
    {"kmz", ReadKmzFile},
};
const std::vector<std::string> kFolders = {"bluegps", "text", "csv", "native", "nmea", "magellan", "pcx5", "plt",
                                           "gpx", "kml", "kmz", "rando", "fit", "tcx", "geojson", "logger", "load"};

class Read : public ::testing::TestWithParam<ReadCase> {};
class Write : public ::testing::TestWithParam<WriteCase> {};

// Records what the driver says.
struct Host : DriverHost {
    void ShowMessage(const std::string&, int id, MessageIcon, const std::string&) override { messages += LoadString(id); }
    std::string messages;
};

}  // namespace

TEST_P(Read, GivesThePointsOfItsTable) {
    const ReadCase& c = GetParam();
    PointTable want = ReadPointTable(c.expected, kSensedColumns, kDocumentColumns);
    ASSERT_EQ(want.error, "");
    const uint8_t named = AbsentColumn(want);
    bool failed = false, message = false, mask = false;
    want.Directive("failed", &failed);
    TrackPointArray points;
    uint32_t count = 0;
    SensorChannels sensors;
    const FolderReader* reader = nullptr;
    for (const FolderReader& r : kReaders)
        if (c.folder == r.folder) reader = &r;
    ASSERT_NE(reader, nullptr) << "no reader for the folder " << c.folder;
    if (!reader->file) {
        Host host;
        CurrentTrack track;
        const int status = LoadTrack(track, c.input, host);
        EXPECT_EQ(host.messages, want.Directive("message", &message));
        EXPECT_EQ(status != 0, message);
        const std::string maskText = want.Directive("mask", &mask);
        if (mask) {
            EXPECT_EQ(track.fieldMask, std::stoul(maskText, nullptr, 16));
        }
        points = std::move(track.points);
        count = track.count;
        sensors = std::move(track.sensors);
    } else {
        const auto status = reader->file(c.input, points, count, &sensors);
        EXPECT_EQ(Failed(status), failed) << "status " << static_cast<int>(status);
        if (Failed(status)) {
            EXPECT_EQ(count, 0u);
            EXPECT_FALSE(points);
        }
    }
    std::vector<SensedPoint> read(count);
    for (uint32_t i = 0; i < count; ++i) {
        read[i].point = points[i];
        for (const SensorInfo& s : kSensorTable) read[i].sensors[static_cast<int>(s.sensor)] = sensors.Value(s.sensor, i);
        for (uint8_t bit = 1; bit; bit = static_cast<uint8_t>(bit << 1))
            if ((named & bit) && sensors.Lacks(i, bit)) read[i].absent |= bit;
    }
    const std::string differences = CompareWithTable(want, kSensedColumns, read.data(), sizeof(SensedPoint), count);
    EXPECT_TRUE(differences.empty()) << differences;
    // The tracks, segments, waypoints, routes and laps beside the points.
    const std::string parts = CompareDocument(want, sensors.document, count);
    EXPECT_TRUE(parts.empty()) << parts;
}

TEST_P(Write, WritesItsExpectedFile) {
    const WriteCase& c = GetParam();
    PointTable table = ReadPointTable(c.table, kSensedColumns, kDocumentColumns);
    ASSERT_EQ(table.error, "");
    std::string error;
    SensorChannels sensors;
    sensors.document = DocumentOf(table, error);
    ASSERT_EQ(error, "");
    AbsentColumn(table);
    const std::vector<SensedPoint> sensed = RecordsOf<SensedPoint>(table, kSensedColumns);
    const uint32_t n = static_cast<uint32_t>(sensed.size());
    std::vector<TrackPoint> points;
    std::vector<ExportEntry> entries;
    for (const SensedPoint& p : sensed) points.push_back(p.point);
    for (uint32_t i = 0; i < n; ++i)
        entries.push_back({&points[i], static_cast<float>(table.Value(i, table.Has("written") ? "written" : "altitude")), i});
    // The channels the table names, beside the points.
    for (const SensorInfo& s : kSensorTable)
        if (table.Has(kSensedColumns[16 + static_cast<int>(s.sensor)].name)) {
            float* values = sensors.Channel(s.sensor, n);
            for (uint32_t i = 0; i < n; ++i) values[i] = sensed[i].sensors[static_cast<int>(s.sensor)];
        }
    // The fields the table leaves out with `-`.
    for (uint32_t i = 0; i < n; ++i)
        if (sensed[i].absent) sensors.MarkAbsent(i, sensed[i].absent);
    const int row = FindWriterRow(c.extension);
    ASSERT_GE(row, 0) << "no writer for " << c.extension;
    ASSERT_NE(FormatTable()[row].writer, nullptr);
    const FixedClock clock("1173103629");  // 5 March 2007, 14:07:09 UTC
    TempDir dir;
    const std::string path = dir.File(PercentDecoded(c.title) + "." + c.extension);
    EXPECT_EQ(FormatTable()[row].writer(path, entries.data(), n, c.options, &sensors), 0);
    if (c.none) {
        EXPECT_FALSE(FileExists(path));
    } else {
        EXPECT_EQ(ReadFile(path), ReadFile(c.expected));
    }
}

INSTANTIATE_TEST_SUITE_P(Data, Read, ::testing::ValuesIn(ReadCases(kFolders)),
                         [](const auto& param) { return param.param.name; });
INSTANTIATE_TEST_SUITE_P(Data, Write, ::testing::ValuesIn(WriteCases(kFolders)),
                         [](const auto& param) { return param.param.name; });

// gpsbabel, a reader of its own, finds the positions of the table in every
// expected output it reads as a track (the table read back where there is
// one): the expected files hold what the formats say, not what the writers
// happen to write.
TEST(EveryFormat, GpsbabelReadsThePositionsOfTheExpectedFiles) {
    if (std::system("command -v gpsbabel >/dev/null 2>&1") != 0) GTEST_SKIP() << "gpsbabel is not installed";
    const std::map<std::string, std::string> peers = {{"gpx", "gpx"}, {"kml", "kml"}, {"plt", "ozi"}, {"nmea", "nmea"}};
    TempDir dir;
    for (const WriteCase& c : WriteCases({"gpx", "kml", "plt", "nmea"})) {
        // gpsbabel makes track points of RMC sentences only.
        if (c.none || (c.folder == "nmea" && ReadFile(c.expected).find("$GPRMC") == std::string::npos)) continue;
        SCOPED_TRACE(c.name);
        const std::string readBack = c.expected + ".points";
        const PointTable want = ReadPointTable(FileExists(readBack) ? readBack : c.table, kSensedColumns, kDocumentColumns);
        // Like Ferolin's reader, the KML track's own line only: to gpsbabel the
        // heading lines of the waypoint markers are tracks of their own.
        const std::string only = c.folder == "kml" ? " -x track,name='Track*'" : "";
        const std::string command = "gpsbabel -t -i " + peers.at(c.folder) + " -f '" + c.expected + "'" + only +
                                    " -o unicsv,utc=0 -F '" + dir.File("peer.csv") + "' 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
        std::istringstream lines(ReadFile(dir.File("peer.csv")));
        std::string line;
        std::getline(lines, line);  // No,Latitude,Longitude,...
        std::size_t row = 0;
        for (; std::getline(lines, line) && row < want.rows.size(); ++row) {
            double latitude = 0, longitude = 0;
            const char* at = line.c_str() + line.find(',') + 1;
            at = std::from_chars(at, line.c_str() + line.size(), latitude).ptr + 1;
            std::from_chars(at, line.c_str() + line.size(), longitude);
            EXPECT_NEAR(latitude, want.Value(row, "latitude"), 2e-6) << line;
            EXPECT_NEAR(longitude, want.Value(row, "longitude"), 2e-6) << line;
        }
        EXPECT_EQ(row, want.rows.size());
        EXPECT_FALSE(std::getline(lines, line)) << "more points than the table: " << line;
    }
}

// What no file can hold: a path that is no regular file fails every reader at
// once, and a writer that cannot write everything fails, leaving what stood
// at its path and no temporary file.
TEST(EveryFormat, ReadersRefuseWhatIsNoFileAndWritersReportFailures) {
    TempDir dir;
    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const FormatEntry& row : FormatTable()) {
        SCOPED_TRACE(row.extension);
        for (const std::string& path : {dir.File("missing"), dir.path(), fifo, std::string("/dev/null")}) {
            if (!row.reader) break;
            TrackPointArray points;
            uint32_t count = 7;
            EXPECT_TRUE(Failed(row.reader(path, points, count, nullptr))) << path;
            EXPECT_EQ(count, 0u);
            EXPECT_FALSE(points);
        }
        if (!row.writer) continue;
        // Points scattered without pattern, so that a compressed output
        // grows with them as much as any other.
        std::vector<TrackPoint> many(20000);
        for (uint32_t i = 0; i < many.size(); ++i) {
            many[i].latitude = 45.5 + (i * 2654435761u % 1000003u) * 1e-7;
            many[i].longitude = (i * 40503u % 999983u) * 1e-6;
        }
        std::vector<ExportEntry> entries;
        for (const TrackPoint& q : many) entries.push_back({&q, 1.0f});
        EXPECT_NE(row.writer(dir.File("no/such/folder.x"), entries.data(), 1, kAllOptions, nullptr), 0);
        EXPECT_NE(row.writer("/dev/full", entries.data(), 1, kAllOptions, nullptr), 0);
        // A file size limit stops the writing half-way.
        const std::string kept = dir.File("kept.x");
        WriteFile(kept, "old contents");
        rlimit old;
        getrlimit(RLIMIT_FSIZE, &old);
        auto* previous = signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 64 * 1024;
        setrlimit(RLIMIT_FSIZE, &small);
        const int status = row.writer(kept, entries.data(), 20000, kAllOptions, nullptr);
        setrlimit(RLIMIT_FSIZE, &old);
        signal(SIGXFSZ, previous);
        EXPECT_NE(status, 0);
        EXPECT_EQ(ReadFile(kept), "old contents");
        EXPECT_EQ(CountFiles(dir.path()), 2);  // the FIFO and the kept file
    }
}

static std::string Two(int n) { return std::string(n < 10 ? "0" : "") + std::to_string(n); }

// Tracks far longer than any data file: readers that do not know their count
// in advance keep growing their array and lose no point.
TEST(EveryFormat, LongTracksKeepEveryPointInOrder) {
    const struct {
        ReaderFn reader;
        const char* name;
        std::string head, tail;
        std::string (*line)(int);
        uint32_t count;
    } rows[] = {
        {WithoutSensors<ReadNmeaLog>, "t.nmea", "", "",
         [](int i) { return "$GPGGA,1," + Two(i % 60) + "00.0,N,00200.0,E,1,08\n"; },
         20000},
        {ReadKmlTrack, "t.kml", "<kml><Placemark><LineString><coordinates>",
         "</coordinates></LineString></Placemark></kml>",
         [](int i) { return "2," + std::to_string(i % 60) + ".5,1 "; }, 100000},
        {ReadGpxTrack, "t.gpx", "<gpx><trk><trkseg>", "</trkseg></trk></gpx>",
         [](int i) { return "<trkpt lat=\"" + std::to_string(i % 60) + ".5\" lon=\"2\"/>"; }, 30000},
        {WithoutSensors<ReadMagellanLog>, "t.log", "", "",
         [](int i) { return "$PMGNTRK," + Two(i % 60) + "00.0,N,00200.0,E,1,M,0,A\n"; }, 20000},
        {ReadOziTrack, "t.plt", "1\n2\n3\n4\n5\n6\n", "",
         [](int i) { return std::to_string(i % 60) + ".5,2\n"; }, 20000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string text = row.head;
        for (uint32_t i = 0; i < row.count; ++i) text += row.line(static_cast<int>(i));
        TempDir dir;
        WriteFile(dir.File(row.name), text + row.tail);
        TrackPointArray points;
        uint32_t count = 0;
        ASSERT_FALSE(Failed(row.reader(dir.File(row.name), points, count, nullptr)));
        ASSERT_EQ(count, row.count);
        for (uint32_t i = 0; i < count; ++i) {
            ASSERT_EQ(+points[i].record, static_cast<int32_t>(i + 1)) << i;
            ASSERT_EQ(static_cast<int>(points[i].latitude), static_cast<int>(i % 60)) << i;
        }
    }
}
