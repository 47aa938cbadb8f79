// Garmin FIT: files built byte by byte from the protocol's rules and read
// against the point tables of tests/data/fit/; the writer read back by the
// reader, by gpsbabel and by an npm decoder; the sensor columns of the tables
// and GPX.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>

#include "convert/driver.h"
#include "core/paths.h"
#include "formats/fit.h"
#include "reader_test_support.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

const std::string kData = FEROLIN_DATA_DIR "/fit/";

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

struct Field {
    int number, size, type;
};

// The messages of one FIT file, then the file around them.
class FitBuilder {
public:
    explicit FitBuilder(bool bigEndian = false) : big_(bigEndian) {}

    FitBuilder& Define(int local, int global, std::vector<Field> fields,
                       std::vector<Field> developer = {}) {
        bytes_ += static_cast<char>(0x40 | (developer.empty() ? 0 : 0x20) | local);
        bytes_ += '\0';
        bytes_ += static_cast<char>(big_);
        Put(global, 2);
        for (const auto* list : {&fields, &developer}) {
            if (list == &developer && developer.empty()) break;
            bytes_ += static_cast<char>(list->size());
            for (const Field& f : *list)
                for (int b : {f.number, f.size, f.type}) bytes_ += static_cast<char>(b);
        }
        sizes_[local].clear();
        for (const Field& f : fields) sizes_[local].push_back(f.size);
        for (const Field& f : developer) sizes_[local].push_back(f.size);
        return *this;
    }
    // A data message, one value per field (developer fields included); with
    // `timeOffset`, under a compressed-timestamp header.
    FitBuilder& Data(int local, std::vector<uint64_t> values, int timeOffset = -1) {
        bytes_ += static_cast<char>(timeOffset < 0 ? local : 0x80 | local << 5 | timeOffset);
        for (std::size_t i = 0; i < sizes_[local].size(); ++i) Put(values.at(i), sizes_[local][i]);
        return *this;
    }
    std::string File(int headerSize = 14, bool headerCrc = true) const {
        std::string h(1, static_cast<char>(headerSize));
        h += '\x10';
        h += "\x54\x08";  // profile 21.32
        for (int i = 0; i < 4; ++i) h += static_cast<char>(bytes_.size() >> (8 * i));
        h += ".FIT";
        if (headerSize == 14) {
            const uint16_t crc = headerCrc ? NibbleCrc(h) : 0;
            h += {static_cast<char>(crc & 0xFF), static_cast<char>(crc >> 8)};
        }
        std::string file = h + bytes_;
        const uint16_t crc = NibbleCrc(file);
        return file + static_cast<char>(crc & 0xFF) + static_cast<char>(crc >> 8);
    }

private:
    void Put(uint64_t v, int size) {
        for (int i = 0; i < size; ++i) {
            const int shift = 8 * (big_ ? size - 1 - i : i);
            bytes_ += static_cast<char>(shift < 64 ? v >> shift : 0);
        }
    }
    bool big_;
    std::string bytes_;
    std::map<int, std::vector<int>> sizes_;
};

// 2024-05-01 06:30:00 UTC in FIT seconds, and positions in semicircles.
constexpr uint64_t kT0 = 1083479400;
constexpr uint64_t kLat1 = 542836144, kLon1 = 74565404;       // 45.5, 6.25
constexpr uint64_t kLat2 = 542837337, kLon2 = 74567791;       // 45.5001, 6.2502
constexpr uint64_t kLat4 = 0xE7EC8F81, kLon4 = 1804068765;    // -33.856784, 151.215297
constexpr uint64_t kNoPosition = 0x7FFFFFFF;

// file_id, a manufacturer's message and the record with every field read.
std::string Basic(bool bigEndian) {
    FitBuilder b(bigEndian);
    b.Define(0, 0, {{0, 1, 0}, {1, 2, 0x84}, {4, 4, 0x86}}).Data(0, {4, 255, kT0});
    b.Define(2, 0xFF01, {{0, 3, 0x0D}, {1, 5, 0x07}}).Data(2, {0xABCDEF, 0x6F6C6C6568});
    b.Define(1, 20, {{253, 4, 0x86}, {0, 4, 0x85}, {1, 4, 0x85}, {78, 4, 0x86}, {73, 4, 0x86},
                     {3, 1, 0x02}, {4, 1, 0x02}, {7, 2, 0x84}, {13, 1, 0x01}});
    b.Data(1, {kT0, kLat1, kLon1, 7500, 5000, 120, 85, 250, 21});
    b.Data(1, {kT0 + 1, kLat2, kLon2, 0xFFFFFFFF, 0, 0xFF, 0, 0xFFFF, 0xFB});
    b.Data(1, {kT0 + 2, kNoPosition, kLon2, 7500, 5000, 130, 85, 250, 21});
    b.Data(1, {kT0 + 3, kLat4, kLon4, 2450, 1234, 200, 254, 65534, 0x80});
    return b.File();
}

std::string Compressed() {
    FitBuilder b;
    b.Define(1, 21, {{253, 4, 0x86}, {0, 1, 0}, {1, 1, 0}});
    b.Define(0, 20, {{0, 4, 0x85}, {1, 4, 0x85}, {2, 2, 0x84}, {6, 2, 0x84}, {3, 1, 0x02}});
    b.Data(0, {kLat1, kLon1, 3752, 2500, 100}, 5);  // no full timestamp yet: undated
    b.Data(1, {kT0 + 22, 0, 0});                      // low five bits 30
    for (int offset : {31, 2, 2, 10}) b.Data(0, {kLat2, kLon2, 3752, 2500, 101}, offset);
    return b.File();
}

std::string Redefined() {
    FitBuilder b;
    b.Define(0, 20, {{253, 4, 0x86}, {0, 4, 0x85}, {1, 4, 0x85}}).Data(0, {kT0, kLat1, kLon1});
    b.Define(0, 49, {{0, 2, 0x84}, {1, 1, 0x02}}).Data(0, {0x1234, 7});
    // Another field order, and a heart rate field of two values: the first counts.
    b.Define(0, 20, {{1, 4, 0x85}, {0, 4, 0x85}, {3, 2, 0x02}, {253, 4, 0x86}});
    b.Data(0, {kLon2, kLat2, 0x8D8C, kT0 + 5});
    return b.File();
}

std::string Developer() {
    FitBuilder b;
    b.Define(0, 207, {{3, 1, 0x02}, {1, 16, 0x0D}}).Data(0, {0, 0x42});
    b.Define(1, 206, {{0, 1, 0x02}, {1, 1, 0x02}, {2, 1, 0x02}, {3, 8, 0x07}})
        .Data(1, {0, 0, 0x84, 0x7265776F70});
    b.Define(2, 20, {{253, 4, 0x86}, {0, 4, 0x85}, {1, 4, 0x85}}, {{0, 2, 0}, {1, 4, 0}});
    b.Data(2, {kT0, kLat1, kLon1, 0x7F7F, 0xFFFFFFFF}).Data(2, {kT0 + 1, kLat2, kLon2, 1, 2});
    return b.File();
}

std::string ChainedSecond() {
    FitBuilder b;
    b.Define(0, 20, {{253, 4, 0x86}, {0, 4, 0x85}, {1, 4, 0x85}}).Data(0, {kT0 + 3, kLat4, kLon4});
    return b.File(12);
}

std::string FirstOfBasic() {
    FitBuilder b;
    b.Define(5, 20, {{253, 4, 0x86}, {0, 4, 0x85}, {1, 4, 0x85}, {78, 4, 0x86}, {73, 4, 0x86},
                     {3, 1, 0x02}, {4, 1, 0x02}, {7, 2, 0x84}, {13, 1, 0x01}});
    b.Data(5, {kT0, kLat1, kLon1, 7500, 5000, 120, 85, 250, 21});
    return b.File(14, false);
}

std::string Damaged(std::string file, int flipAt, std::size_t cut = 0) {
    file[file.size() + flipAt] ^= 0x5A;
    return file.substr(0, file.size() - cut);
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
    host.options = options;
    if (rule) host.rules.push_back(rule);
    const std::string path = dir.File(name);
    EXPECT_EQ(ExportToFile(track, path, FindWriterRow(FileExtension(path)), host), 0) << name;
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

TEST(FitReader, BuiltFilesGiveTheExpectedPoints) {
    const struct {
        const char* name;
        std::string bytes;
        const char* expected;
    } cases[] = {
        {"little-endian", Basic(false), "basic.points"},
        {"big-endian", Basic(true), "basic.points"},
        {"file CRC wrong", Damaged(Basic(false), -1), "basic.points"},
        {"cut in the last record", Basic(false).substr(0, Basic(false).size() - 3), "truncated.points"},
        {"compressed timestamps, altitude and speed", Compressed(), "compressed.points"},
        {"local type redefined", Redefined(), "redefined.points"},
        {"developer fields", Developer(), "developer.points"},
        {"chained, 12-byte second header", FirstOfBasic() + ChainedSecond(), "chained.points"},
        {"chain ends at a damaged file", Damaged(FirstOfBasic(), -2) + ChainedSecond(), "first.points"},
        {"chain ends at trailing bytes", FirstOfBasic() + "\x0e\x10zzzzzzzzzzzzzzz", "first.points"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const std::string path = dir.File("case.fit");
        WriteFile(path, c.bytes);
        RecordingHost host;
        const CurrentTrack track = Load(path, host);
        EXPECT_TRUE(host.messages.empty()) << c.name;
        EXPECT_EQ(Table(track), ReadFile(kData + c.expected)) << c.name;
    }
}

TEST(FitReader, FilesWithoutPointsAndOtherFilesGiveTheirMessages) {
    FitBuilder indoor;
    indoor.Define(0, 20, {{253, 4, 0x86}, {0, 4, 0x85}, {1, 4, 0x85}, {3, 1, 0x02}});
    indoor.Data(0, {kT0, kNoPosition, kNoPosition, 90});
    FitBuilder narrow;  // positions of one byte are none
    narrow.Define(0, 20, {{0, 1, 0x01}, {1, 1, 0x01}}).Data(0, {5, 6});
    std::string badHeader = Basic(false);
    badHeader[12] ^= 1;
    const struct {
        const char* name;
        std::string bytes;
        const char* message;
    } cases[] = {
        {"indoor", indoor.File(), "No track point in the file."},
        {"narrow", narrow.File(), "No track point in the file."},
        {"messages only", FitBuilder().File(), "No track point in the file."},
        {"text", "just some text, not a FIT file\n", "Cannot open the file."},
        {"header CRC wrong", badHeader, "Cannot open the file."},
        {"empty", "", "Cannot open the file."},
        {"header only", Basic(false).substr(0, 13), "Cannot open the file."},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const std::string path = dir.File("case.fit");
        WriteFile(path, c.bytes);
        RecordingHost host;
        Load(path, host);
        EXPECT_EQ(host.Texts(), std::vector<std::string>{c.message}) << c.name;
    }
}

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
    WriteFile(dir.File("basic.fit"), Basic(false));
    RecordingHost host;
    const CurrentTrack basic = Load(dir.File("basic.fit"), host);
    for (uint32_t options : {kAllOptions, 0u}) {
        const CurrentTrack again = Load(Export(basic, dir, "again.fit", options), host);
        EXPECT_EQ(Table(again), ReadFile(kData + "basic.points")) << options;
    }

    // Three undated points 1 km apart on the equator.
    CurrentTrack undated;
    undated.points = AllocateTrackPoints(3);
    undated.count = 3;
    for (int i = 0; i < 3; ++i) undated.points[i].longitude = i * 1000 / 6371000.0 * 180 / std::numbers::pi;
    const FixedClock clock("1700000000");
    const CurrentTrack dated = Load(Export(undated, dir, "undated.fit", kAllOptions), host);
    EXPECT_EQ(Table(dated), ReadFile(kData + "undated.points"));
    EXPECT_TRUE(host.messages.empty());
}

// Tables gain a column per channel; GPX becomes 1.1 with Garmin's extensions,
// valid by the schemas and read back by gpsbabel (which shows a cadence of 0
// as none, and reads no power from GPX).
TEST(FitWriter, SensorChannelsReachTablesAndGpx) {
    TempDir dir;
    WriteFile(dir.File("basic.fit"), Basic(false));
    RecordingHost host;
    const CurrentTrack basic = Load(dir.File("basic.fit"), host);
    EXPECT_EQ(ReadFile(Export(basic, dir, "basic.txt", 0x9206)), ReadFile(kData + "basic.txt"));
    EXPECT_EQ(ReadFile(Export(basic, dir, "basic.csv", 0x49206)), ReadFile(kData + "basic.csv"));
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
    EXPECT_NE(ReadFile(gpx).find("<gpxpx:PowerInWatts>65534</gpxpx:PowerInWatts>"), std::string::npos);
    if (!HasGpsbabel()) GTEST_SKIP() << "gpsbabel is not installed";
    EXPECT_EQ(Output("gpsbabel -t -i gpx -f '" + gpx + "' -o unicsv,utc=0 -F - | cut -d, -f2-"),
              ReadFile(kData + "basic.gpsbabel.csv"));
}

// Both peers read the records of activity and course files (gpsbabel shows a
// cadence of 0 as none); the decoder checks both CRCs and sees the lap,
// session, activity and course messages.
TEST(FitPeers, GpsbabelAndTheNpmDecoderReadFerolinFit) {
    TempDir dir;
    WriteFile(dir.File("basic.fit"), Basic(false));
    RecordingHost host;
    const CurrentTrack basic = Load(dir.File("basic.fit"), host);
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
    EXPECT_EQ(Table(Load(babel, host)), ReadFile(kData + "gpsbabel.points"));
    EXPECT_TRUE(host.messages.empty());
}
