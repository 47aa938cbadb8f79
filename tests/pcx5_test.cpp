#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert/driver.h"
#include "formats/pcx5.h"
#include "reader_test_support.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

const char* const kHeader =
    "H  SOFTWARE NAME & VERSION\r\n"
    "I  PCX5 2.09 by Ferolin 1.51\r\n"
    "\r\n"
    "H  R DATUM                IDX DA            DF            DX            DY            DZ\r\n"
    "M  G WGS 84               121 +0.000000e+00 +0.000000e+00 +0.000000e+00 +0.000000e+00 "
    "+0.000000e+00\r\n"
    "\r\n"
    "H  COORDINATE SYSTEM\r\n"
    "U  LAT LON DEG\r\n"
    "\r\n"
    "H  LATITUDE    LONGITUDE    DATE      TIME     ALT    ;track\r\n";

using Read = ferolin_test::ReadResult;

Read ReadTrk(const std::string& text) { return ReadFromFile(ReadPcx5Track, "track.trk", text); }

// 1700000000 is 14 November 2023, 22:13:20 UTC.
const char* const kGoldenPoints =
    "T  N48.1234567 W001.5000000 09-JAN-07 13:05:07 00100\r\n"
    "T  S33.5000000 E151.2500000 14-NOV-23 22:13:20 -0012\r\n"
    "T  N00.0000000 E000.0000000 31-DEC-99 23:59:59 00000\r\n"
    "T  N05.0000000 W179.9999999 14-NOV-23 22:13:20 08849\r\n"
    "T  S00.0000001 E000.0000001 01-FEB-00 00:00:00 00002\r\n";

std::string WriteGolden(const std::string& path) {
    const std::vector<TrackPoint> points = {
        DatedPoint(48.1234567, -1.5, 2007, 1, 9, 13, 5, 7.9f),
        DatedPoint(-33.5, 151.25, 0, 0, 0, 1, 2, 3),             // no date: the clock's
        DatedPoint(0, 0, 1999, 12, 31, 23, 59, 59.99f),
        DatedPoint(5, -179.9999999, 2007, 13, 1),                // month 13: the clock's
        DatedPoint(-0.0000001, 0.0000001, 2000, 2, 1),
    };
    const float altitudes[] = {100.4f, -12.4f, 0.4f, 8848.86f, 2.5f};
    std::vector<ExportEntry> entries;
    for (std::size_t i = 0; i < points.size(); ++i) entries.push_back({&points[i], altitudes[i]});
    FixedClock clock("1700000000");
    EXPECT_EQ(WritePcx5Track(path, entries.data(), static_cast<uint32_t>(entries.size()), 0), 0);
    return ReadFile(path);
}

}  // namespace

TEST(Pcx5Writer, WritesTheHeaderBlocksAndPointLinesByteForByte) {
    TempDir dir;
    EXPECT_EQ(WriteGolden(dir.File("t.trk")), std::string(kHeader) + kGoldenPoints);

    EXPECT_EQ(WritePcx5Track(dir.File("empty.trk"), nullptr, 0, 0), 0);
    EXPECT_EQ(ReadFile(dir.File("empty.trk")), kHeader);

    const TrackPoint p = DatedPoint(1, 2, 2007, 1, 1);
    const ExportEntry e{&p, 0};
    EXPECT_EQ(WritePcx5Track(dir.File("missing/x.trk"), &e, 1, 0), 1);
}

TEST(Pcx5Reader, ReadsBackWhatTheWriterWrote) {
    // Dates the writer took from the clock come back as dates of their own.
    const PointSummary want[] = {
        {48.1234567, -1.5, 20070109, 130507, 100},
        {-33.5, 151.25, 20231114, 221320, -12},
        {0, 0, 19991231, 235959, 0},
        {5, -179.9999999, 20231114, 221320, 8849},
        {-0.0000001, 0.0000001, 20000201, 0, 2},
    };
    TempDir dir;
    WriteGolden(dir.File("t.trk"));
    Read r{};
    r.status = ReadPcx5Track(dir.File("t.trk"), r.points, r.count);
    ASSERT_EQ(r.status, ReadStatus::kOk);
    ASSERT_EQ(r.count, 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(+r.points[i].record, i + 1);
        EXPECT_EQ(Summary(r.points[i]), want[i]) << i;
    }
    EXPECT_EQ(+r.points[4].speed, 0.0f);
}

TEST(Pcx5Reader, UnitsHeadersAndLongLines) {
    const std::string head = "H  SOFTWARE NAME & VERSION\r\n";
    const std::string t = " 01-FEB-00 00:00:00 1\r\n";
    const struct {
        std::string text;
        ReadStatus status;
        std::vector<PointSummary> points;
    } rows[] = {
        // Degrees, minutes and seconds; "-9999" is a missing altitude.
        {head + "U  LAT LON DMS\r\nT  N482030.5 W0013000.0 09-jan-07 10:11:12.5 -9999\r\n", ReadStatus::kOk,
         {{48 + 20 / 60.0 + 30.5 / 3600, -1.5, 20070109, 101112.5, 0}}},
        // Degrees and decimal minutes; the unit in any case, after any
        // blanks; an unknown month is January.
        {head + "U  LAT LON    dm\r\nT  S4830.000 W00130.000 09-XYZ-99 00:00:00 12.75\r\n", ReadStatus::kOk,
         {{-48.5, -1.5, 19990109, 0, 12.75f}}},
        // Decimal degrees with signs or without; the unit may change on the way.
        {head + "T  +1.5 -2.25" + t + "U  LAT LON DMS\r\nT  -010000 +0013000" + t +
             "U  LAT LON DEG\r\nT  7.5 8.5" + t, ReadStatus::kOk,
         {{1.5, -2.25, 20000201, 0, 1}, {-1, 1.5, 20000201, 0, 1}, {7.5, 8.5, 20000201, 0, 1}}},
        // An unknown unit ends the reading; what came before is kept.
        {head + "T  N1 E2" + t + "U  LAT LON UTM\r\nT  N3 E4" + t, ReadStatus::kOk, {{1, 2, 20000201, 0, 1}}},
        {head + "U  LAT LON UTM\r\nT  N3 E4" + t, ReadStatus::kOk, {}},
        {head + "U  GRID\r\nT  N3 E4" + t, ReadStatus::kOk, {}},
        // Without the software header the file is not PCX5, so that the next
        // "trk" reader is tried.
        {"U  LAT LON DEG\r\nT  N1 E2" + t, ReadStatus::kNotThisFormat, {}},
        {"", ReadStatus::kNotThisFormat, {}},
        // T lines before the header are ignored; the mark may sit anywhere in an H line.
        {"T  N1 E2" + t + "H x SOFTWARE NAME & VERSION y\r\nT  N3 E4" + t, ReadStatus::kOk,
         {{3, 4, 20000201, 0, 1}}},
        // Lines are read in pieces of 199 characters; the piece after a long
        // line's first 199 characters is a line of its own.
        {head + "T  N1 E2 01-FEB-00 00:00:00 " + std::string(171, ' ') +
             "T  N9 E9 01-FEB-00 00:00:00 3\n", ReadStatus::kOk,
         {{1, 2, 20000201, 0, 0}, {9, 9, 20000201, 0, 3}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const auto r = ReadTrk(row.text);
        EXPECT_EQ(r.status, row.status);
        std::vector<PointSummary> points;
        for (uint32_t i = 0; i < r.count; ++i) {
            EXPECT_EQ(+r.points[i].record, static_cast<int>(i + 1));
            points.push_back(Summary(r.points[i]));
        }
        EXPECT_EQ(points, row.points);
        if (row.status != ReadStatus::kOk) {
            EXPECT_FALSE(r.points);
        }
    }

    TempDir dir;
    TrackPointArray points;
    uint32_t count = 3;
    EXPECT_EQ(ReadPcx5Track(dir.File("missing.trk"), points, count), ReadStatus::kCannotOpen);
    EXPECT_EQ(count, 0u);
}

TEST(Pcx5Reader, DatesTimesAndShortFields) {
    const std::string head = "H  SOFTWARE NAME & VERSION\n";
    const auto r = ReadTrk(head +
                           "T  N1 E1 00-Dec-70 1:2:3 5\n"       // day 0 becomes 1; 70 is 1970
                           "T  N2 E2 31-MAR-69 23:59:59.75 6\n"  // 69 is 2069
                           "T  N3 E3 garbage rubbish 7\n"        // day 1, January, 2000
                           "T  N4 E4 09-JAN-07\n"                // date not followed by a blank
                           "T  N5\n"                             // latitude alone: not set
                           "T\n"
                           "T\tN6\t\tE6\t02-JUN-10\t11:12:13\t-12.4\n");
    ASSERT_EQ(r.status, ReadStatus::kOk);
    ASSERT_EQ(r.count, 7u);
    const PointSummary want[] = {
        {1, 1, 19701201, 10203, 5},       {2, 2, 20690331, 235959.75, 6},
        {3, 3, 20000101, 0, 7},           {4, 4, 0, 0, 0},
        {0, 0, 0, 0, 0},                  {0, 0, 0, 0, 0},
        {6, 6, 20100602, 111213, -12.4f},
    };
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(+r.points[i].record, i + 1);
        EXPECT_EQ(Summary(r.points[i]), want[i]) << i;
    }
}

TEST(Pcx5Format, LoadsAndExportsThroughTheFirstTrkRow) {
    TempDir dir;
    WriteGolden(dir.File("in.trk"));
    RecordingHost host;
    CurrentTrack track;
    ASSERT_EQ(LoadTrack(track, dir.File("in.trk"), host), 0);
    EXPECT_EQ(track.count, 5u);
    EXPECT_EQ(track.fieldMask, 0x000Eu);
    const int row = FindWriterRow("trk");
    ASSERT_GE(row, 0);
    FixedClock clock("1700000000");
    ASSERT_EQ(ExportToFile(track, dir.File("out.trk"), row, host), 0);
    EXPECT_TRUE(host.messages.empty());
    // Read back, every point now has a date of its own; altitudes were whole.
    EXPECT_EQ(ReadFile(dir.File("out.trk")), std::string(kHeader) + kGoldenPoints);
}
