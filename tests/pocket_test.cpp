// The handheld edition without its window: its readers and writers on the
// cases of tests/data/pocket/ (layout in tests/data/README.md), its document,
// its command line and its number and line helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "data_cases.h"
#include "pocket/ppc_document.h"
#include "pocket/ppc_io.h"
#include "pocket/ppc_track.h"
#include "test_support.h"

using namespace ferolin_test;

namespace {

constexpr Column kPocketColumns[] = {
    {"record", CellType::kInt32, offsetof(PPCTrackPoint, record)},
    {"eventType", CellType::kInt32, offsetof(PPCTrackPoint, eventType)},
    {"year", CellType::kInt32, offsetof(PPCTrackPoint, year)},
    {"month", CellType::kInt32, offsetof(PPCTrackPoint, month)},
    {"day", CellType::kInt32, offsetof(PPCTrackPoint, day)},
    {"hour", CellType::kInt32, offsetof(PPCTrackPoint, hour)},
    {"minute", CellType::kInt32, offsetof(PPCTrackPoint, minute)},
    {"seconds", CellType::kDouble, offsetof(PPCTrackPoint, seconds)},
    {"latitude", CellType::kDouble, offsetof(PPCTrackPoint, latitude)},
    {"longitude", CellType::kDouble, offsetof(PPCTrackPoint, longitude)},
    {"altitude", CellType::kDouble, offsetof(PPCTrackPoint, altitude)},
    {"pdop", CellType::kDouble, offsetof(PPCTrackPoint, pdop)},
    {"hdop", CellType::kDouble, offsetof(PPCTrackPoint, hdop)},
    {"vdop", CellType::kDouble, offsetof(PPCTrackPoint, vdop)},
    {"satellites", CellType::kInt32, offsetof(PPCTrackPoint, satellites)},
    {"speed", CellType::kDouble, offsetof(PPCTrackPoint, speed)},
    {"direction", CellType::kDouble, offsetof(PPCTrackPoint, direction)},
};

class PocketRead : public ::testing::TestWithParam<ReadCase> {};
class PocketWrite : public ::testing::TestWithParam<WriteCase> {};

const char* const kThreePoints =
    "About total Numbers: 3\r\n=====================\r\nRecord: 5\r\n=====================\r\n"
    "Record: 6\r\nAltitude: 12\r\n=====================\r\nRecord: 7\r\n=====================\r\n";

std::string Ferolix(const std::vector<std::string>& args, int& status) {
    std::ostringstream out, err;
    const PPCCommandLine line = PPCParseCommandLine(args, out, err);
    status = line.mode == PPCCommandLine::kHeadless ? PPCRunHeadless(line, err) : line.status;
    return out.str() + err.str();
}

}  // namespace

TEST_P(PocketRead, GivesThePointsOfItsTable) {
    const ReadCase& c = GetParam();
    const PointTable want = ReadPointTable(c.expected, kPocketColumns);
    ASSERT_EQ(want.error, "");
    bool failed = false;
    want.Directive("failed", &failed);
    const bool nmea = PPCIsNmeaPath(c.input);
    PPCTrackArray points, again;
    uint32_t count = 7, n = 7;
    const int status = nmea ? PPCReadNmea(c.input, points, count) : PPCReadDatalog(c.input, points, count);
    EXPECT_EQ(status != 0, failed);
    if (status != 0 || count == 0) {
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(points.get(), nullptr);
    }
    // The entry points for text in memory read the same.
    const std::string text = ReadFile(c.input);
    EXPECT_EQ(nmea ? PPCReadNmeaText(text, again, n) : PPCReadDatalogText(text, again, n), status);
    ASSERT_EQ(n, count);
    EXPECT_TRUE(n == 0 || std::memcmp(again.get(), points.get(), n * sizeof(PPCTrackPoint)) == 0);
    const std::string differences = CompareWithTable(want, kPocketColumns, points.get(), sizeof(PPCTrackPoint), count);
    EXPECT_TRUE(differences.empty()) << differences;
}

TEST_P(PocketWrite, WritesItsExpectedFile) {
    const WriteCase& c = GetParam();
    const PointTable table = ReadPointTable(c.table, kPocketColumns);
    ASSERT_EQ(table.error, "");
    const std::vector<PPCTrackPoint> points = RecordsOf<PPCTrackPoint>(table, kPocketColumns);
    const PPCTrackPoint* data = points.empty() ? nullptr : points.data();
    const uint32_t n = static_cast<uint32_t>(points.size());
    const int flag = static_cast<int>(c.options);
    const std::string name = PercentDecoded(c.title);
    TempDir dir;
    const std::string path = dir.File("out." + c.extension);
    int status = -1;
    if (c.extension == "gpx") status = PPCWriteGpx(path, name, data, n, flag);
    if (c.extension == "trk") status = PPCWritePcx5(path, data, n, flag);
    if (c.extension == "plt") status = PPCWritePlt(path, name, data, n, flag);
    if (c.extension == "txt") status = PPCWriteText(path, data, n, flag);
    ASSERT_EQ(status, 0) << "no writer for " << c.extension << ", or it failed";
    EXPECT_EQ(ReadFile(path), ReadFile(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Data, PocketRead, ::testing::ValuesIn(ReadCases({"pocket"})),
                         [](const auto& param) { return param.param.name; });
INSTANTIATE_TEST_SUITE_P(Data, PocketWrite, ::testing::ValuesIn(WriteCases({"pocket"})),
                         [](const auto& param) { return param.param.name; });

TEST(PocketDocument, ReadsByExtensionAndKeepsItsNameUntilAFileIsAccepted) {
    for (const char* path : {"/data/walk.nmea", "/data/walk.nme", "/card/WALK.NMEA", "walk.Nme"})
        EXPECT_TRUE(PPCIsNmeaPath(path)) << path;
    for (const char* path : {"/data/walk.log", "/data/walk", "/data/walk.nmea.log", "/data/walk.nmeax", "/data/trip.nmea/walk"})
        EXPECT_FALSE(PPCIsNmeaPath(path)) << path;
    EXPECT_EQ(PPCTrackNameForTarget("C:\\tracks\\day.one.plt"), "day.one");
    EXPECT_EQ(PPCTrackNameForTarget("/out.d/walk"), "");
    EXPECT_EQ(PPCTrackNameForTarget("/out/Z\xC3\xBCrich.gpx"), "Z\xC3\xBCrich");

    TempDir dir;
    std::vector<PPCMessage> messages;
    const PPCMessageSink report = [&](PPCMessage m) { messages.push_back(m); };
    CPPCDoc doc;
    WriteFile(dir.File("day.one.log"), kThreePoints);
    WriteFile(dir.File("wrong.NME"), kThreePoints);  // a datalog read as NMEA has no RMC
    ASSERT_TRUE(doc.OpenDocument(dir.File("day.one.log"), report));
    EXPECT_EQ(std::tuple(doc.Count(), doc.Name(), doc.Points()[1].record), std::tuple(3u, std::string("day.one"), 6));
    EXPECT_FALSE(doc.OpenDocument(dir.File("missing.log"), report));
    EXPECT_FALSE(doc.OpenDocument(dir.File("wrong.NME"), report));
    EXPECT_EQ(messages, (std::vector<PPCMessage>{PPCMessage::kCannotOpen, PPCMessage::kNoTrackPoint}));
    EXPECT_EQ(std::tuple(doc.Count(), doc.Points(), doc.Path(), doc.Name()),
              std::tuple(0u, static_cast<const PPCTrackPoint*>(nullptr), dir.File("day.one.log"), std::string("day.one")));

    // The export names the track after its target; a format code it does not
    // know writes nothing; a writer failure is reported.
    ASSERT_TRUE(doc.OpenDocument(dir.File("day.one.log"), report));
    EXPECT_EQ(doc.ExportTrack(dir.File("walk.plt"), kPPCPlt, true, report), 1);
    EXPECT_NE(ReadFile(dir.File("walk.plt")).find("\r\n0, 2, 65280, walk, 1, 0, 0, 65280\r\n 3\r\n+00.0000000, +000.0000000, "
                                                  "0, 00039.3696000, 366.000000, 00-?\?\?-00, 00:00:00\r\n"),
              std::string::npos);
    EXPECT_EQ(doc.ExportTrack(dir.File("walk.csv"), 5, false, report), 0);
    EXPECT_FALSE(FileExists(dir.File("walk.csv")));
    EXPECT_EQ(doc.ExportTrack(dir.File("none/walk.txt"), kPPCText, false, report), 1);
    EXPECT_EQ(messages.back(), PPCMessage::kCannotWrite);
    doc.CloseDocument();
    EXPECT_EQ(std::tuple(doc.Count(), doc.Path(), doc.Name()), std::tuple(0u, std::string(), std::string()));
}

TEST(PocketCommandLine, ModesMessagesAndExitStatus) {
    const struct {
        std::vector<std::string> args;
        PPCCommandLine::Mode mode;
        std::string file, output;
        int format;
        bool allPoints;
    } rows[] = {
        {{}, PPCCommandLine::kWindow, "", "", 0, false},
        {{"walk.log"}, PPCCommandLine::kWindow, "walk.log", "", 0, false},
        {{"walk.log", "-o", "out/walk.GPX"}, PPCCommandLine::kHeadless, "walk.log", "out/walk.GPX", kPPCGpx, false},
        {{"-o", "w.trk", "--all-points", "walk.nmea"}, PPCCommandLine::kHeadless, "walk.nmea", "w.trk", kPPCPcx5, true},
        {{"a", "-o", "b.txt"}, PPCCommandLine::kHeadless, "a", "b.txt", kPPCText, false},
        // After "--" every word is a file: a name may start with "-".
        {{"-o", "b.plt", "--", "-odd.log"}, PPCCommandLine::kHeadless, "-odd.log", "b.plt", kPPCPlt, false},
    };
    for (const auto& row : rows) {
        std::ostringstream out, err;
        const PPCCommandLine line = PPCParseCommandLine(row.args, out, err);
        EXPECT_EQ(std::tuple(line.mode, line.file, line.output, line.format, line.allPoints),
                  std::tuple(row.mode, row.file, row.output, row.format, row.allPoints));
    }
    int status = -1;
    EXPECT_NE(Ferolix({"--version"}, status).find("1.2"), std::string::npos);
    EXPECT_EQ(status, 0);
    EXPECT_NE(Ferolix({"walk.log", "--help"}, status).find("ferolix FILE -o OUT [--all-points]"), std::string::npos);
    EXPECT_EQ(status, 0);
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"-o"}, {"-o", "x.txt"}, {"a", "b"}, {"--all-points"}, {"a", "-x"}, {"a", "-o", "b.txt", "-o", "c.txt"},
             {"--", "a", "-o", "b.txt"}}) {
        EXPECT_NE(Ferolix(bad, status).find("usage: ferolix"), std::string::npos);
        EXPECT_EQ(status, 2);
    }
    EXPECT_EQ(Ferolix({"a.log", "-o", "b.csv"}, status), "unknown output format: csv\n");
    EXPECT_EQ(Ferolix({"a.log", "-o", "out.d/b"}, status), "unknown output format: \n");
    EXPECT_EQ(status, 2);

    // Headless: the flag is on unless --all-points (the point at altitude 0
    // is left out); one message line and status 1 for each failure.
    TempDir dir;
    const std::string log = dir.File("day.log");
    WriteFile(log, kThreePoints);
    WriteFile(dir.File("empty.nmea"), "$GPGGA,1,2,3\r\n");
    EXPECT_EQ(Ferolix({log, "-o", dir.File("some.txt")}, status), "");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Ferolix({log, "-o", dir.File("all.txt"), "--all-points"}, status), "");
    EXPECT_EQ(ReadFile(dir.File("some.txt")).find("\r\n00005\t"), std::string::npos);
    EXPECT_NE(ReadFile(dir.File("all.txt")).find("\r\n00005\t"), std::string::npos);
    const struct {
        std::string input, output, named, message;
    } failures[] = {{dir.File("none.log"), dir.File("x.txt"), dir.File("none.log"), "Cannot open the file."},
                    {dir.File("empty.nmea"), dir.File("x.txt"), dir.File("empty.nmea"), "No track point in the file."},
                    {log, dir.File("no/x.gpx"), dir.File("no/x.gpx"), "Cannot write to the file."}};
    for (const auto& f : failures) {
        EXPECT_EQ(Ferolix({f.input, "-o", f.output}, status), f.named + ": " + f.message + "\n");
        EXPECT_EQ(status, 1);
    }
    EXPECT_FALSE(FileExists(dir.File("x.txt")));
}

TEST(PocketNumbers, FormatAndParseAsTheCLibraryDoesInTheCLocale) {
    const CNumbers cNumbers;
    for (double v : {0.0, -0.0, 0.5, 2.5, -5.5, 9.9999995, 123.456789, 0.138888888, 1e-7, 5e-324, 1e15, 1e300,
                     -1e308, 38416.338263888, std::numeric_limits<double>::infinity(), std::nan("")})
        for (int p : {0, 3, 6, 7})
            for (int width : {0, 6, 12, 13})
                for (bool plus : {false, true}) {
                    char format[32], expected[400];
                    std::snprintf(format, sizeof format, plus ? "%%+0%d.%df" : "%%0%d.%df", width, p);
                    std::snprintf(expected, sizeof expected, format, v);
                    std::string got;
                    ppc::AppendFixed(got, v, p, width, plus);
                    EXPECT_EQ(got, std::string(expected)) << format << " " << v;
                }
    for (int64_t v : {int64_t{0}, int64_t{-7}, int64_t{12345}, int64_t{4294967295LL}, INT64_MIN})
        for (int width : {0, 2, 5}) {
            char expected[40];
            std::snprintf(expected, sizeof expected, "%0*lld", width, static_cast<long long>(v));
            std::string got;
            ppc::AppendInt(got, v, width);
            EXPECT_EQ(got, expected);
        }
    const std::pair<const char*, int32_t> ints[] = {{"", 0}, {"  42abc", 42}, {"-17", -17}, {"+8", 8}, {"x1", 0},
                                                    {"99999999999999999999", INT32_MAX}, {"-99999999999999999999", INT32_MIN}};
    for (const auto& [text, value] : ints) EXPECT_EQ(ppc::ParseInt(text), value) << text;
    EXPECT_EQ(ppc::ParseInt64("-9223372036854775808"), INT64_MIN);
    for (const char* s : {"", " 1.25 m", "-.5", "+2e3", "1e", "0x10", "0x", "1,5", "1e999", "-1e-999", "-inf"})
        EXPECT_EQ(ppc::ParseReal(s), std::atof(s)) << s;
    EXPECT_TRUE(std::isnan(ppc::ParseReal("nan")));
}

TEST(PocketLines, PiecesAsFgetsHandsThemOut) {
    const auto pieces = [](std::string_view text, std::size_t max) {
        ppc::LineReader lines(max);
        lines.OpenMemory(text);
        std::string out;
        std::string_view piece;
        bool complete = false;
        while (lines.Next(piece, complete)) out += std::string(piece) + (complete ? "|" : "~");
        return out;
    };
    EXPECT_EQ(pieces("ab\r\ncd\nef", 5), "ab|cd|ef|");
    // Four characters and the line end fill a 5-character piece; five come
    // alone and the line end follows as an empty line.
    EXPECT_EQ(pieces("abcd\r\nabcde\r\nabcdefgh\n", 5), "abcd|abcde||abcde~fgh|");
    EXPECT_EQ(pieces(std::string_view("a\rb\nx\0yz\n", 9), 5), "a\rb|x~");  // a NUL ends the piece
    std::string big;
    for (int i = 0; i < 30000; ++i) big += "line " + std::to_string(i) + "\r\n";
    EXPECT_EQ(pieces(big, 99).size(), big.size() - 30000);
}
