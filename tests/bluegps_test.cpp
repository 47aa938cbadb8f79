#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/line_reader.h"
#include "formats/bluegps.h"
#include "formats/text_table.h"
#include "reader_test_support.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

const char* const kSeparatorLine = "=====================\n";

using Read = ferolin_test::ReadResult;

Read ReadText(const std::string& text) { return ReadFromFile(ReadBlueGpsLog, "track.log", text); }

std::string Block(int record) {
    return "Record: " + std::to_string(record) + "\n" + kSeparatorLine;
}

std::vector<std::string> Pieces(const std::string& text, size_t maxPiece) {
    TempDir dir;
    WriteFile(dir.File("lines.txt"), text);
    LineReader lines(maxPiece);
    EXPECT_TRUE(lines.Open(dir.File("lines.txt")));
    std::vector<std::string> pieces;
    std::string_view piece;
    while (lines.Next(piece)) pieces.emplace_back(piece);
    return pieces;
}

}  // namespace

TEST(LineReader, HandsOutPiecesTheWayFgetsDoes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Pieces("ab\ncd\n", 4), (V{"ab", "cd"}));
    EXPECT_EQ(Pieces("ab\r\ncd", 4), (V{"ab", "cd"}));            // CRLF folded, last line unended
    EXPECT_EQ(Pieces("abcdefghij\n", 4), (V{"abcd", "efgh", "ij"}));
    EXPECT_EQ(Pieces("abcd\nx\n", 4), (V{"abcd", "", "x"}));       // no room left for the line end
    EXPECT_EQ(Pieces("abc\nx\n", 4), (V{"abc", "x"}));
    EXPECT_EQ(Pieces("abc\r\nx\n", 4), (V{"abc", "x"}));           // "\r\n" counts as one
    EXPECT_EQ(Pieces("abcd\r\nx", 4), (V{"abcd", "", "x"}));
    EXPECT_EQ(Pieces("a\rb\n", 4), (V{"a\rb"}));                   // a lone CR stays
    EXPECT_EQ(Pieces(std::string("ab\0cd\nef\n", 9), 8), (V{"ab", "ef"}));  // ends at NUL
    EXPECT_EQ(Pieces("\n\n", 4), (V{"", ""}));
    EXPECT_TRUE(Pieces("", 4).empty());
    // Lines far longer than the block size arrive whole, piece by piece.
    const std::string longLine(200000, 'x');
    const auto pieces = Pieces(longLine + "\nend\n", 1023);
    ASSERT_EQ(pieces.size(), 197u);
    EXPECT_EQ(pieces[195], std::string(200000 - 195 * 1023, 'x'));
    EXPECT_EQ(pieces.back(), "end");
}

TEST(LineReader, OpensRegularFilesOnlyAndNeverWaits) {
    TempDir dir;
    const std::string fifo = dir.File("pipe.log");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    LineReader reader;
    EXPECT_FALSE(reader.Open(fifo));          // no writer: must not block
    EXPECT_FALSE(reader.Open(dir.path()));    // a folder
    EXPECT_FALSE(reader.Open("/dev/null"));   // a device
    EXPECT_FALSE(reader.Open(dir.File("missing.log")));
    TrackPointArray points;
    uint32_t count = 7;
    EXPECT_EQ(ReadBlueGpsLog(fifo, points, count), ReadStatus::kCannotOpen);
    EXPECT_EQ(count, 0u);
}

TEST(BlueGpsReader, ReadsEveryKeyOfARecord) {
    const auto r = ReadText(
        "BlueGPS Datalog\r\nAbout total Numbers: 1\r\n=====================\r\n"
        "Record: 17\r\nEvent Type: Log\r\nYear: 2007\r\nMonth: 3\r\nDay: 9\r\nHour: 10\r\n"
        "Minute: 5\r\nSecond: 7.25\r\nLatitude: -45.5\r\nLongitude: -3.25\r\nAltitude: 545.5\r\n"
        "PDOP: 1.5\r\nHDOP: 0.75\r\nSatellite No: 8\r\nSpeed(KMs/hr): 4.5\r\n"
        "Direction: 84.25\r\n=====================\r\n");
    ASSERT_EQ(r.status, ReadStatus::kOk);
    ASSERT_EQ(r.count, 1u);
    EXPECT_EQ(Fields(r.points[0]),
              Fields(WithFix(DatedPoint(-45.5, -3.25, 2007, 3, 9, 10, 5, 7.25f),
                             {.record = 17, .altitude = 545.5f, .speed = 4.5f, .direction = 84.25f,
                              .satellites = 8, .pdop = 1.5f, .hdop = 0.75f})));
}

TEST(BlueGpsReader, ValuesConvertLikeTheCLibraryIntoTheFieldWidths) {
    const auto r = ReadText(std::string("About total Numbers: 1\n") + kSeparatorLine +
                            "Year: 70000\nMonth: 300\nDay:   12abc\nRecord: x\n"
                            "Latitude: 1e999\nAltitude: 1e300\nSecond: 12,75\n"
                            "Satellite No: -3\nDay: 13\n");
    ASSERT_EQ(r.status, ReadStatus::kOk);
    const TrackPoint& p = r.points[0];
    EXPECT_EQ(+p.year, static_cast<int16_t>(70000));
    EXPECT_EQ(+p.month, static_cast<int8_t>(300));
    EXPECT_EQ(+p.day, 13);  // a repeated key overwrites
    EXPECT_EQ(+p.record, 0);
    EXPECT_TRUE(std::isinf(p.latitude));
    EXPECT_TRUE(std::isinf(p.altitude));  // beyond the float range
    EXPECT_EQ(+p.seconds, 12.0f);
    EXPECT_EQ(+p.satellites, -3);
}

TEST(BlueGpsReader, DeclaredCountDecidesTheNumberOfRecords) {
    // Five declared, three blocks: two all-zero records follow.
    std::string text = std::string("About total Numbers: 5\n") + kSeparatorLine;
    for (int i = 1; i <= 3; ++i) text += Block(i);
    auto r = ReadText(text);
    ASSERT_EQ(r.status, ReadStatus::kOk);
    ASSERT_EQ(r.count, 5u);
    EXPECT_EQ(+r.points[2].record, 3);
    const TrackPoint zero{};
    EXPECT_EQ(std::memcmp(&r.points[3], &zero, sizeof zero), 0);
    EXPECT_EQ(std::memcmp(&r.points[4], &zero, sizeof zero), 0);

    // A sixth block after five declared is not read.
    text = std::string("About total Numbers: 5\n") + kSeparatorLine;
    for (int i = 1; i <= 6; ++i) text += Block(i);
    r = ReadText(text);
    ASSERT_EQ(r.count, 5u);
    EXPECT_EQ(+r.points[4].record, 5);

}

TEST(BlueGpsReader, CountsKeysHeadersAndLongLines) {
    const std::string head = std::string("About total Numbers: 1\n") + kSeparatorLine;
    const struct {
        std::string text;
        ReadStatus status;
        uint32_t count;
        int record;  // of the first point
        float altitude;
    } rows[] = {
        // A count of 0 is passed over for a later non-zero one.
        {std::string("About total Numbers: 0\nx\nAbout total Numbers: 3\n") + kSeparatorLine +
             Block(9), ReadStatus::kOk, 3, 9, 0},
        // Keys must start the line, with their blank.
        {head + " Record: 5\nRecord:6\nrecord: 7\nAltitude: 12\n", ReadStatus::kOk, 1, 0, 12},
        // Lines before the first separator are header lines.
        {"Record: 99\nAbout total Numbers: 2\nRecord: 98\nAltitude: 5\n"
         "===================== first\nRecord: 1\n", ReadStatus::kOk, 2, 1, 0},
        // The file may end before any separator: every record stays zero.
        {"About total Numbers: 2\nno records\n", ReadStatus::kOk, 2, 0, 0},
        // The text after the first 1023 characters of a line is a line of its own.
        {head + std::string(1023, 'x') + "Record: 77\n" + std::string(1022, 'y') +
             "\nAltitude: 3\n" + std::string(100000, 'z') + "\n", ReadStatus::kOk, 1, 77, 3},
        // No usable count. A count no file of this size could hold is a
        // damaged header, not a request for millions of empty records.
        {"Record: 1\n=====================\n", ReadStatus::kNotThisFormat, 0, 0, 0},
        {"About total Numbers: 0\n", ReadStatus::kNotThisFormat, 0, 0, 0},
        {"About total Numbers: -4\n", ReadStatus::kNotThisFormat, 0, 0, 0},
        {"", ReadStatus::kNotThisFormat, 0, 0, 0},
        {"About total Numbers: 2000000000\n", ReadStatus::kNotThisFormat, 0, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 80));
        const auto r = ReadText(row.text);
        EXPECT_EQ(r.status, row.status);
        ASSERT_EQ(r.count, row.count);
        if (!row.count) {
            EXPECT_FALSE(r.points);
            continue;
        }
        EXPECT_EQ(+r.points[0].record, row.record);
        EXPECT_EQ(+r.points[0].altitude, row.altitude);
    }
    TrackPointArray points;
    uint32_t count = 5;
    EXPECT_EQ(ReadBlueGpsLog("/nonexistent/folder/x.log", points, count), ReadStatus::kCannotOpen);
    EXPECT_EQ(count, 0u);
}

namespace {

// Two points at one position, 1000 m apart in altitude, 30 min 15 s apart.
struct TwoPoints {
    TrackPoint p[2] = {};
    ExportEntry e[2];
    TwoPoints() {
        p[0] = WithFix(DatedPoint(48.1173, 11.516667, 2007, 3, 9, 10),
                       {.record = 1, .direction = 84.4f, .satellites = 8, .pdop = 1.5f,
                        .hdop = 0.75f});
        p[1] = WithFix(DatedPoint(48.1173, 11.516667, 2007, 3, 9, 10, 30, 15.5f),
                       {.record = 2, .speed = 3.0f, .direction = 84.4f, .satellites = 11,
                        .pdop = 1.5f, .hdop = 0.75f});
        e[0] = {&p[0], 100.0f};
        e[1] = {&p[1], 1100.0f};
    }
};

const char* const kStatisticsBlock =
    "2 records\r\n"
    "Distance 1.000 KMs\r\n"
    "Duration 00:30:15\r\n"
    "Max Speed 3.00 KMs/hr, record 2\r\n"
    "Min Altitude 100.00 Meters, record 1\r\n"
    "Max Altitude 1100.00 Meters, record 2\r\n"
    "Average Speed 1.50 KMs/hr\r\n"
    "Average Speed (without stop) 3.00 KMs/hr\r\n";

// Writes the entries of `t` to a text table and gives the file's text.
std::string WriteTable(const TwoPoints& t, uint32_t count, uint32_t options) {
    TempDir dir;
    const std::string path = dir.File("out.txt");
    EXPECT_EQ(WriteTextTable(path, t.e, count, options), 0);
    // The table is no datalog.
    TrackPointArray points;
    uint32_t read = 0;
    EXPECT_EQ(ReadBlueGpsLog(path, points, read), ReadStatus::kNotThisFormat);
    return ReadFile(path);
}

}  // namespace

TEST(TextTableWriter, WritesEveryColumnAndTheStatistics) {
    TwoPoints t;
    EXPECT_EQ(WriteTable(t, 2, 0xFFFFFFFF),
              std::string("Generated by Ferolin 1.51\r\n") + kStatisticsBlock +
                  "\r\n"
                  "Record: \tDate: \tTime: \tLatitude: \tLongitude: \tAltitude(Meters): \t"
                  "PDOP: \tHDOP: \tVDOP: \tSatellite No: \tSpeed(KMs/hr): \tDirection: \t\r\n"
                  "00001\t09/03/2007\t10:00:00.000\t48.117300\t11.516667\t100.000000\t"
                  "1.500000\t0.750000\t0.000000\t8\t0.000000\t84.400002\t\r\n"
                  "00002\t09/03/2007\t10:30:15.500\t48.117300\t11.516667\t1100.000000\t"
                  "1.500000\t0.750000\t0.000000\t11\t3.000000\t84.400002\t\r\n");
    // Direction, satellites and record, asked for out of order; 0x400 selects nothing.
    EXPECT_EQ(WriteTable(t, 1, 0x100 | 0x1 | 0x8000 | 0x400),
              "Generated by Ferolin 1.51\r\n\r\n"
              "Record: \tSatellite No: \tDirection: \t\r\n"
              "00001\t8\t84.400002\t\r\n");
    // Statistics alone give empty table lines.
    EXPECT_EQ(WriteTable(t, 2, 0x10000),
              std::string("Generated by Ferolin 1.51\r\n") + kStatisticsBlock + "\r\n\r\n\r\n\r\n");
    // A huge value is written whole.
    t.p[0].latitude = -1e300;
    char huge[400];
    {
        const ferolin_test::CNumbers cNumbers;
        std::snprintf(huge, sizeof huge, "%f\t\r\n", -1e300);
    }
    EXPECT_EQ(WriteTable(t, 1, 0x2),
              std::string("Generated by Ferolin 1.51\r\n\r\nLatitude: \t\r\n") + huge);
}

TEST(TextTableWriter, StatisticsLeaveOutZeroLinesAndKeepLongDurations) {
    TwoPoints t;
    t.p[1].speed = 0;
    t.p[1].day = 10;
    t.p[1].hour = 11;
    t.p[1].minute = 1;
    t.p[1].seconds = 1;
    t.e[0].altitude = 0;  // the lowest altitude is exactly 0: no line
    EXPECT_EQ(WriteTable(t, 2, 0x10000), "Generated by Ferolin 1.51\r\n"
                                         "2 records\r\n"
                                         "Distance 1.100 KMs\r\n"
                                         "Duration 25:01:01\r\n"
                                         "Max Altitude 1100.00 Meters, record 2\r\n"
                                         "\r\n\r\n\r\n\r\n");
}

TEST(TextTableWriter, FailuresAreReportedAndLeaveTheOldFile) {
    TempDir dir;
    TwoPoints t;
    EXPECT_EQ(WriteTextTable(dir.File("missing/out.txt"), t.e, 2, 0xFFFFFFFF), 1);
    EXPECT_EQ(WriteTextTable("/dev/full", t.e, 2, 0xFFFFFFFF), 1);  // device full
    // Option word 0: no file, and success.
    EXPECT_EQ(WriteTextTable(dir.File("none.txt"), t.e, 2, 0), 0);
    EXPECT_FALSE(FileExists(dir.File("none.txt")));

    // A write that fails half-way (file size limit) keeps what stood there.
    const std::string path = dir.File("keep.txt");
    WriteFile(path, "old contents");
    std::vector<TrackPoint> many(20000, t.p[0]);
    std::vector<ExportEntry> entries;
    for (const auto& p : many) entries.push_back({&p, 1.0f});
    rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    auto* previous = signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 64 * 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    const int status = WriteTextTable(path, entries.data(), 20000, 0xFFFFFFFF);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(ReadFile(path), "old contents");
    // No temporary file is left behind.
    EXPECT_EQ(ferolin_test::CountFiles(dir.path()), 1);
}
