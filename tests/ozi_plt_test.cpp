#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/calendar.h"
#include "convert/driver.h"
#include "formats/ozi_plt.h"
#include "reader_test_support.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

const char* const kHeader =
    "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n";

using Read = ferolin_test::ReadResult;

Read ReadPlt(const std::string& text) { return ReadFromFile(ReadOziTrack, "track.plt", text); }

// The six header lines of a file followed by its point lines.
std::string File(const std::string& points) {
    return std::string(kHeader) + "0, 2, 65280, t, 1, 0, 0, 65280\r\n 1\r\n" + points;
}

std::vector<TrackPoint> GoldenPoints() {
    std::vector<TrackPoint> points = {
        DatedPoint(48.1234567, -1.5, 2007, 1, 9),              // midnight
        DatedPoint(-5.25, 123.456789, 2007, 1, 9, 12),         // noon
        DatedPoint(0, 0, 0, 0, 0),                             // no date
        DatedPoint(1, 2, 2007, 13, 5),                         // month outside 1-12
        DatedPoint(3, 4, 2007, 3, 0),                          // day 0: no date
        DatedPoint(10.5, -100.25, 2007, 1, 1, 6, 0, 59.9f),    // seconds truncated
    };
    for (TrackPoint& p : points) p.speed = 12;  // not carried by the format
    return points;
}

const char* const kGoldenPoints =
    "+48.1234567, -001.5000000, 0, 328.08399, 39091.000000, , \r\n"
    "-05.2500000, +123.4567890, 0, -41.01050, 39091.500000, , \r\n"
    "+00.0000000, +000.0000000, 0, 0.00000, , , \r\n"
    "+01.0000000, +002.0000000, 0, 3280.83990, , , \r\n"
    "+03.0000000, +004.0000000, 0, 0.00000, , , \r\n"
    "+10.5000000, -100.2500000, 0, 32.80840, 39083.250683, , \r\n";

std::string WriteGolden(const std::string& path) {
    const auto points = GoldenPoints();
    const float altitudes[] = {100, -12.5f, 0, 1000, 0, 10};
    std::vector<ExportEntry> entries;
    for (std::size_t i = 0; i < points.size(); ++i) entries.push_back({&points[i], altitudes[i]});
    EXPECT_EQ(WriteOziTrack(path, entries.data(), static_cast<uint32_t>(entries.size()), 0), 0);
    return ReadFile(path);
}

}  // namespace

TEST(Calendar, DayNumbersAndMonthNames) {
    EXPECT_EQ(OziDayNumber(1899, 12, 30, 0, 0, 0), 0.0);
    EXPECT_EQ(OziDayNumber(1901, 1, 1, 0, 0, 0), 367.0);
    EXPECT_EQ(OziDayNumber(2007, 1, 1, 0, 0, 0), 39083.0);
    EXPECT_EQ(OziDayNumber(2007, 1, 1, 6, 0, 0), 39083.25);
    EXPECT_EQ(OziDayNumber(2000, 3, 1, 0, 0, 0), 36586.0);  // 2000 is a leap year
    // Outside 1901-2099 the Gregorian calendar goes on: 1900 has no 29 February.
    EXPECT_EQ(OziDayNumber(1900, 3, 1, 0, 0, 0), 61.0);
    EXPECT_EQ(OziDayNumber(2100, 3, 1, 0, 0, 0), 73110.0);
    EXPECT_EQ(OziDayNumber(1800, 1, 1, 0, 0, 0), -36522.0);
    EXPECT_TRUE(std::isfinite(OziDayNumber(32767, 127, 127, 127, 127, 2147483647)));
    EXPECT_TRUE(std::isfinite(OziDayNumber(-32768, -128, -128, -128, -128, -2147483647)));

    DayNumberDate d{};
    auto secondsOfDay = [&d] { return d.hour * 3600 + d.minute * 60 + d.second; };
    ASSERT_TRUE(DateFromOziDayNumber(39083.5, d));
    EXPECT_EQ(DateOf(d), 20070101);
    EXPECT_EQ(secondsOfDay(), 12 * 3600);
    ASSERT_TRUE(DateFromOziDayNumber(367, d));
    EXPECT_EQ(DateOf(d), 19010101);
    ASSERT_TRUE(DateFromOziDayNumber(-36522, d));
    EXPECT_EQ(DateOf(d), 18000101);
    ASSERT_TRUE(DateFromOziDayNumber(73110, d));
    EXPECT_EQ(DateOf(d), 21000301);
    // Before day 0 the fraction is still the time of day.
    ASSERT_TRUE(DateFromOziDayNumber(-1.25, d));
    EXPECT_EQ(DateOf(d), 18991229);
    EXPECT_EQ(d.hour, 6);
    // 23:59:59.9999 rounds to midnight of the next day.
    ASSERT_TRUE(DateFromOziDayNumber(39091.999999999, d));
    EXPECT_EQ(DateOf(d), 20070110);
    EXPECT_EQ(secondsOfDay(), 0);
    ASSERT_TRUE(DateFromOziDayNumber(39083.0 + 86399.0 / 86400, d));
    EXPECT_EQ(secondsOfDay(), 86399);
    // Years 100 to 9999 only; beyond, and for non-finite numbers, no date.
    EXPECT_TRUE(DateFromOziDayNumber(2958465.5, d));
    EXPECT_EQ(d.year, 9999);
    EXPECT_FALSE(DateFromOziDayNumber(2958465.99999999, d));  // rounds into year 10000
    EXPECT_FALSE(DateFromOziDayNumber(2958466, d));
    EXPECT_FALSE(DateFromOziDayNumber(-657435, d));
    EXPECT_FALSE(DateFromOziDayNumber(1e300, d));
    EXPECT_FALSE(DateFromOziDayNumber(INFINITY, d));
    EXPECT_FALSE(DateFromOziDayNumber(NAN, d));

    EXPECT_EQ(MonthFromAbbreviation("JAN"), 1);
    EXPECT_EQ(MonthFromAbbreviation("jan"), 1);
    EXPECT_EQ(MonthFromAbbreviation("dEc"), 12);
    EXPECT_EQ(MonthFromAbbreviation("XYZ"), 0);
    EXPECT_EQ(MonthFromAbbreviation("JA"), 0);
    EXPECT_EQ(MonthFromAbbreviation("JANU"), 0);
}

TEST(OziWriter, WritesTheHeaderAndPointLinesByteForByte) {
    TempDir dir;
    const std::string text = WriteGolden(dir.File("My track.plt"));
    EXPECT_EQ(text, std::string(kHeader) + "0, 2, 65280, My track, 1, 0, 0, 65280\r\n 6\r\n" +
                        kGoldenPoints);

    // No points: the header and a count of 0.
    EXPECT_EQ(WriteOziTrack(dir.File("empty.plt"), nullptr, 0, 0), 0);
    EXPECT_EQ(ReadFile(dir.File("empty.plt")),
              std::string(kHeader) + "0, 2, 65280, empty, 1, 0, 0, 65280\r\n 0\r\n");

    // A folder that does not exist cannot take the file.
    const TrackPoint p = DatedPoint(1, 2, 0, 0, 0);
    const ExportEntry e{&p, 0};
    EXPECT_EQ(WriteOziTrack(dir.File("missing/x.plt"), &e, 1, 0), 1);
}

TEST(OziReader, ReadsBackWhatTheWriterWrote) {
    TempDir dir;
    WriteGolden(dir.File("t.plt"));
    Read r{};
    r.status = ReadOziTrack(dir.File("t.plt"), r.points, r.count);
    ASSERT_EQ(r.status, ReadStatus::kOk);
    ASSERT_EQ(r.count, 6u);
    const auto in = GoldenPoints();
    const float altitudes[] = {100, -12.5f, 0, 1000, 0, 10};
    for (uint32_t i = 0; i < r.count; ++i) {
        const TrackPoint& p = r.points[i];
        EXPECT_EQ(+p.record, static_cast<int>(i + 1));
        EXPECT_DOUBLE_EQ(+p.latitude, +in[i].latitude);
        EXPECT_DOUBLE_EQ(+p.longitude, +in[i].longitude);
        EXPECT_NEAR(+p.altitude, altitudes[i], 0.00001);
        EXPECT_EQ(+p.speed, 0.0f);  // lost
    }
    // Midnight and noon of 9 January 2007 come back as such.
    EXPECT_EQ(DateOf(r.points[0]), 20070109);
    EXPECT_EQ(+r.points[0].hour, 0);
    EXPECT_EQ(DateOf(r.points[1]), 20070109);
    EXPECT_EQ(+r.points[1].hour, 12);
    // The undated points stay undated.
    for (int i : {2, 3, 4}) EXPECT_EQ(DateOf(r.points[i]), 0) << i;
    // Whole seconds: 06:00:59.9 was written as 06:00:59.
    EXPECT_EQ(ferolin_test::TimeOf(r.points[5]), 60059);
}

TEST(OziReader, ScansEachLineAsFarAsItMatches) {
    const auto r = ReadPlt(File(
        "48.5,2.5,0,1000,39083.5\r\n"         // no blanks needed
        "  -1.25 ,  7\r\n"                    // a blank before the comma ends the scan
        "10, 20, 0\r\n"                       // no altitude: 0, not the previous value
        "11, 21, x, 100, 39083\r\n"           // the integer code must be a number
        "12, 22, 0, 100, 0, 10-Jan-07\r\n"    // day number 0: no date
        "13, 23, 0, 1e999, 1e300\r\n"         // huge numbers: no date, infinite altitude
        "nan, inf, 0, 5, 5\r\n"               // only decimal numbers
        "\r\n"                                // an empty line is a record too
        "1.5e1, -2E-1, -3, .5, 39083.25"));   // last line without line end
    ASSERT_EQ(r.status, ReadStatus::kOk);
    ASSERT_EQ(r.count, 9u);
    const TrackPoint* p = r.points.get();
    EXPECT_EQ(+p[0].latitude, 48.5);
    EXPECT_EQ(+p[0].longitude, 2.5);
    EXPECT_FLOAT_EQ(+p[0].altitude, 304.8f);
    EXPECT_EQ(DateOf(p[0]), 20070101);
    EXPECT_EQ(+p[0].hour, 12);

    EXPECT_EQ(+p[1].latitude, -1.25);
    EXPECT_EQ(+p[1].longitude, 0.0);

    EXPECT_EQ(Place(p[2]), Place(10.0, 20.0, 0.0f));

    EXPECT_EQ(+p[3].longitude, 21.0);
    EXPECT_EQ(+p[3].altitude, 0.0f);
    EXPECT_EQ(+p[3].year, 0);

    EXPECT_FLOAT_EQ(+p[4].altitude, 30.48f);
    EXPECT_EQ(+p[4].year, 0);
    EXPECT_EQ(+p[4].hour, 0);

    EXPECT_TRUE(std::isinf(+p[5].altitude));
    EXPECT_EQ(+p[5].year, 0);

    EXPECT_EQ(+p[6].latitude, 0.0);
    EXPECT_EQ(+p[6].longitude, 0.0);

    EXPECT_EQ(+p[7].latitude, 0.0);
    EXPECT_EQ(+p[7].record, 8);

    EXPECT_EQ(+p[8].latitude, 15.0);
    EXPECT_EQ(+p[8].longitude, -0.2);
    EXPECT_FLOAT_EQ(+p[8].altitude, 0.1524f);
    EXPECT_EQ(+p[8].hour, 6);
    EXPECT_EQ(+p[8].record, 9);
}

TEST(OziReader, HeaderLinesAreSkippedWholeAndLongPointLinesSplit) {
    // A title far longer than a piece is still one header line.
    const std::string longTitle(300, 'T');
    std::string text = std::string(kHeader) + "0, 2, 65280, " + longTitle +
                       ", 1, 0, 0, 65280\r\n 2\r\n";
    // A point line of 84 characters and more is cut after 84: its remainder
    // is a line of its own.
    const std::string first = "1.5, 2.5, 0, 1000, 39083.5, , ";
    text += first + std::string(84 - first.size(), ' ') + "3.5, 4.5, 0, 0, 0\r\n";
    // 83 characters and CR LF: one line.
    const std::string second = "5.5, 6.5, 0, 0, 0, ";
    text += second + std::string(83 - second.size(), 'x') + "\r\n";
    text += "7.5, 8.5\n";
    const auto r = ReadPlt(text);
    ASSERT_EQ(r.status, ReadStatus::kOk);
    ASSERT_EQ(r.count, 4u);
    EXPECT_EQ(+r.points[0].latitude, 1.5);
    EXPECT_EQ(+r.points[0].hour, 12);
    EXPECT_EQ(+r.points[1].latitude, 3.5);
    EXPECT_EQ(+r.points[1].longitude, 4.5);
    EXPECT_EQ(+r.points[1].record, 2);
    EXPECT_EQ(+r.points[2].latitude, 5.5);
    EXPECT_EQ(+r.points[3].latitude, 7.5);
    EXPECT_EQ(+r.points[3].record, 4);
}

TEST(OziReader, ShortAndMissingFiles) {
    // Six lines or fewer: no point.
    auto r = ReadPlt(std::string(kHeader) + "0, 2, 65280, t, 1, 0, 0, 65280\r\n 0\r\n");
    EXPECT_EQ(r.status, ReadStatus::kOk);
    EXPECT_EQ(r.count, 0u);
    r = ReadPlt("");
    EXPECT_EQ(r.status, ReadStatus::kOk);
    EXPECT_EQ(r.count, 0u);

    TempDir dir;
    TrackPointArray points;
    uint32_t count = 5;
    EXPECT_EQ(ReadOziTrack(dir.File("missing.plt"), points, count), ReadStatus::kCannotOpen);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(ReadOziTrack(dir.path(), points, count), ReadStatus::kCannotOpen);
}

TEST(OziFormat, LoadsAndExportsThroughTheFormatTable) {
    TempDir dir;
    WriteGolden(dir.File("in.plt"));
    RecordingHost host;
    CurrentTrack track;
    ASSERT_EQ(LoadTrack(track, dir.File("in.plt"), host), 0);
    EXPECT_EQ(track.count, 6u);
    EXPECT_EQ(track.fieldMask, 0x000Eu);
    const int row = FindWriterRow("PLT");
    ASSERT_GE(row, 0);
    ASSERT_EQ(ExportToFile(track, dir.File("out.plt"), row, host), 0);
    EXPECT_TRUE(host.messages.empty());
    // The altitudes went through feet and back; the title is the new file's.
    const std::string out = ReadFile(dir.File("out.plt"));
    EXPECT_EQ(out.substr(0, out.find("+48.1234567, -001.5000000, 0, 328.0")),
              std::string(kHeader) + "0, 2, 65280, out, 1, 0, 0, 65280\r\n 6\r\n");
}

TEST(OziFormat, GpsbabelReadsTheSameTracks) {
    if (!ferolin_test::HasGpsbabel()) GTEST_SKIP() << "gpsbabel is not installed";
    TempDir dir;
    // Our file, read by gpsbabel and written as its CSV table.
    const TrackPoint a = DatedPoint(48.1234567, -1.5, 2007, 1, 9);
    const TrackPoint b = DatedPoint(-5.25, 123.456789, 2007, 1, 9, 12);
    const ExportEntry entries[] = {{&a, 100}, {&b, -12.5f}};
    ASSERT_EQ(WriteOziTrack(dir.File("ours.plt"), entries, 2, 0), 0);
    const auto babel = ferolin_test::ReadWithGpsbabel("ozi", dir.File("ours.plt"), dir.File("ours.csv"));
    ASSERT_EQ(babel.size(), 2u);
    // Positions to gpsbabel's six decimals; times without fractions of
    // seconds (gpsbabel 1.8 shows the noon point as 12:00:00.500).
    for (int i = 0; i < 2; ++i) {
        const TrackPoint& p = i ? b : a;
        EXPECT_NEAR(babel[i].latitude, +p.latitude, 0.5e-6) << i;
        EXPECT_NEAR(babel[i].longitude, +p.longitude, 0.5e-6) << i;
        EXPECT_EQ(babel[i].altitude, +entries[i].altitude) << i;
        EXPECT_EQ(babel[i].date, "2007/01/09") << i;
        EXPECT_EQ(babel[i].time.substr(0, 8), i ? "12:00:00" : "00:00:00") << i;
    }
}
