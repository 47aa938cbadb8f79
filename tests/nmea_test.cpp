#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert/driver.h"
#include "formats/format_table.h"
#include "formats/nmea.h"
#include "formats/nmea_sentences.h"
#include "reader_test_support.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

using Read = ferolin_test::ReadResult;

// Reads `text` as a trace from a real file.
Read ReadTrace(const std::string& text) { return ReadFromFile(ReadNmeaLog, "trace.nmea", text); }

double Degrees(int whole, double minutes) { return whole + minutes / 60.0; }

}  // namespace

TEST(ReadNmeaLog, ConvertsEveryFieldOfTheThreeSentences) {
    const Read r = ReadTrace(
        "$GPGGA,123519.5,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
        "$GPRMC,123519.5,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n"
        "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n"
        "$GPGGA,000001,3330.0000,S,00215.0000,W,1,300,1.0,-12.5,M,,M,,*00\r\n"
        "$GPRMC,000001,V,3330.0000,S,00215.0000,W,1,359.5,010107,,*00\r\n");
    ASSERT_EQ(r.status, ReadStatus::kOk);
    ASSERT_EQ(r.count, 2u);
    const TrackPoint& a = r.points[0];
    EXPECT_DOUBLE_EQ(+a.latitude, Degrees(48, 7.038));
    EXPECT_DOUBLE_EQ(+a.longitude, Degrees(11, 31.0));
    EXPECT_FLOAT_EQ(+a.speed, static_cast<float>(22.4 * 1.852));
    // The checksum stays glued to the last field; the number stops at "*".
    EXPECT_EQ(Fields(a), Fields(WithFix(DatedPoint(+a.latitude, +a.longitude, 1994, 3, 23, 12, 35, 19.5f),
                                        {.record = 1, .altitude = 545.4f, .speed = +a.speed,
                                         .direction = 84.4f, .satellites = 8, .pdop = 2.5f,
                                         .hdop = 1.3f, .vdop = 2.1f})));

    // South and west negate; satellites keep their low 8 bits (300 -> 44);
    // a void fix ("V") reads like a valid one; wrong checksums are not checked.
    const TrackPoint& b = r.points[1];
    EXPECT_EQ(+b.record, 2);
    EXPECT_DOUBLE_EQ(+b.latitude, -33.5);
    EXPECT_DOUBLE_EQ(+b.longitude, -2.25);
    EXPECT_EQ(+b.satellites, 44);
    EXPECT_FLOAT_EQ(+b.altitude, -12.5f);
    EXPECT_FLOAT_EQ(+b.speed, 1.852f);
    EXPECT_FLOAT_EQ(+b.direction, 359.5f);
    EXPECT_EQ(+b.seconds, 1.0f);
    EXPECT_EQ(+b.year, 2007);
    EXPECT_EQ(+b.pdop, 0.0f);  // no GSA in this group
}

TEST(ReadNmeaLog, YearsOfTheDateField) {
    const struct {
        const char* date;
        int day, month, year;
    } cases[] = {
        {"010207", 1, 2, 2007}, {"010299", 1, 2, 1999}, {"010269", 1, 2, 2069},
        {"010270", 1, 2, 1970}, {"01022007", 1, 2, 2007}, {"0102", 1, 2, 2000},
        {"1", 1, 0, 2000},  // groups beyond the field's end are empty
        {"", 0, 0, 2000},
    };
    for (const auto& c : cases) {
        const Read r = ReadTrace(std::string("$GPRMC,120000,A,4500.0,N,00500.0,E,0,0,") + c.date +
                                 ",,*00\n");
        ASSERT_EQ(r.count, 1u) << c.date;
        EXPECT_EQ(+r.points[0].day, +c.day) << c.date;
        EXPECT_EQ(+r.points[0].month, +c.month) << c.date;
        EXPECT_EQ(+r.points[0].year, +c.year) << c.date;
    }
}

TEST(ReadNmeaLog, GroupsSentencesUntilATypeRepeats) {
    const std::string gga = "$GPGGA,100000,4500.0,N,00500.0,E,1,05,1.0,100.0,M,,M,,*00\n";
    const std::string rmc = "$GPRMC,100001,A,4600.0,N,00600.0,E,10,90,050607,,*00\n";
    const std::string gsa = "$GPGSA,A,3,,,,,,,,,,,,,1.1,2.2,3.3,*00\n";

    // Any order: RMC GGA RMC GGA makes two points.
    Read r = ReadTrace(rmc + gga + rmc + gga);
    ASSERT_EQ(r.count, 2u);
    for (uint32_t i = 0; i < 2; ++i) {
        EXPECT_EQ(+r.points[i].record, static_cast<int32_t>(i + 1));
        EXPECT_DOUBLE_EQ(+r.points[i].latitude, 45.0);  // the GGA came second
        EXPECT_EQ(+r.points[i].year, 2007);
        EXPECT_FLOAT_EQ(+r.points[i].altitude, 100.0f);
    }

    // GGA alone: one point each, without date or speed. Other sentences and
    // other talkers change nothing when $GP sentences are there.
    r = ReadTrace("$GPGSV,3,1,11,03,03,111,00*74\n" + gga + "garbage\n\n" +
                  "$GNRMC,100001,A,4600.0,N,00600.0,E,10,90,050607,,*00\n" + gga +
                  "$GLGSA,A,3,,,,,,,,,,,,,1.1,2.2,3.3,*00\n");
    ASSERT_EQ(r.count, 2u);
    EXPECT_EQ(+r.points[1].record, 2);
    EXPECT_EQ(+r.points[1].year, 0);
    EXPECT_EQ(+r.points[1].speed, 0.0f);
    EXPECT_EQ(+r.points[1].pdop, 0.0f);
    EXPECT_EQ(+r.points[1].satellites, 5);

    // RMC alone sets no altitude or satellites; GSA alone only the DOPs.
    r = ReadTrace(rmc + rmc);
    ASSERT_EQ(r.count, 2u);
    EXPECT_EQ(+r.points[1].altitude, 0.0f);
    EXPECT_EQ(+r.points[1].satellites, 0);
    EXPECT_FLOAT_EQ(+r.points[1].speed, 18.52f);
    r = ReadTrace(gsa);
    ASSERT_EQ(r.count, 1u);
    EXPECT_EQ(+r.points[0].record, 1);
    EXPECT_FLOAT_EQ(+r.points[0].vdop, 3.3f);
    EXPECT_EQ(+r.points[0].latitude, 0.0);
    EXPECT_EQ(+r.points[0].hour, 0);

    // The groups GGA RMC | RMC GSA | GSA GGA are three, but no type has more
    // than two sentences: two points, the third group is not read.
    r = ReadTrace(gga + rmc + rmc + gsa + gsa + gga);
    ASSERT_EQ(r.count, 2u);
    EXPECT_FLOAT_EQ(+r.points[0].altitude, 100.0f);
    EXPECT_EQ(+r.points[0].pdop, 0.0f);
    EXPECT_EQ(+r.points[1].altitude, 0.0f);
    EXPECT_FLOAT_EQ(+r.points[1].pdop, 1.1f);
    EXPECT_DOUBLE_EQ(+r.points[1].latitude, 46.0);
}

TEST(ReadNmeaLog, LongTracesKeepEveryPointInOrder) {
    // Short sentences: far more points than the size of the file suggests at
    // first, so the points arrive in several blocks.
    std::string trace;
    for (int i = 0; i < 20000; ++i)
        trace += "$GPGGA," + std::to_string(i % 60) + ",1,N,2,E,1," + std::to_string(i % 100) + "\n";
    const Read r = ReadTrace(trace);
    ASSERT_EQ(r.status, ReadStatus::kOk);
    ASSERT_EQ(r.count, 20000u);
    for (uint32_t i = 0; i < r.count; ++i) {
        ASSERT_EQ(+r.points[i].record, static_cast<int32_t>(i + 1));
        ASSERT_EQ(+r.points[i].hour, static_cast<int8_t>(i % 60));
        ASSERT_EQ(+r.points[i].satellites, static_cast<int8_t>(i % 100));
        ASSERT_DOUBLE_EQ(+r.points[i].latitude, 1.0);
    }
}

TEST(ReadNmeaLog, ShortFieldsAndLongLinesStayInBounds) {
    // A GGA with fewer than six fields marks its type and numbers its point
    // but sets nothing; the next GGA opens the second point.
    Read r = ReadTrace("$GPGGA,123519,4807.038,N,01131.000\n$GPGGA\n$GPRMC,1234\n");
    ASSERT_EQ(r.count, 2u);
    EXPECT_EQ(+r.points[0].record, 1);
    EXPECT_EQ(+r.points[0].hour, 0);
    EXPECT_EQ(+r.points[0].latitude, 0.0);
    EXPECT_EQ(+r.points[1].record, 2);
    // The RMC time "1234": hour 12, minute 34, no seconds.
    EXPECT_EQ(ferolin_test::TimeOf(r.points[1]), 123400);

    // Fields shorter than their layout: the missing digits read as 0 and
    // never come from the next field.
    r = ReadTrace("$GPGGA,1,4,N,12,W,1,,,,M,,M,,\n");
    ASSERT_EQ(r.count, 1u);
    EXPECT_EQ(ferolin_test::TimeOf(r.points[0]), 10000);
    EXPECT_DOUBLE_EQ(+r.points[0].latitude, 4.0);
    EXPECT_DOUBLE_EQ(+r.points[0].longitude, -12.0);

    // A line is read in pieces of 99 characters: the altitude field of this
    // GGA is cut after its first digit, and the rest of the line is a line of
    // its own, which is no sentence. A piece that starts with "$GPGGA" inside
    // a long line counts as a sentence.
    const std::string gga = "$GPGGA,123519.5" + std::string(50, '0') +
                            ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\n";
    r = ReadTrace(gga + std::string(99, 'x') + "$GPGGA,000002,4500.0,N,00500.0,E,1,09,1,7,M,,M,,\n");
    ASSERT_EQ(r.count, 2u);
    EXPECT_FLOAT_EQ(+r.points[0].seconds, 19.5f);
    EXPECT_FLOAT_EQ(+r.points[0].hdop, 0.0f);
    EXPECT_FLOAT_EQ(+r.points[0].altitude, 5.0f);
    EXPECT_EQ(+r.points[0].satellites, 8);
    EXPECT_EQ(+r.points[1].satellites, 9);
    EXPECT_FLOAT_EQ(+r.points[1].altitude, 7.0f);

    // Nothing but noise: no point, not a failure. A missing file fails.
    r = ReadTrace(std::string("\0\0$GP\n$GPGG\n", 12) + std::string(5000, ','));
    EXPECT_EQ(r.status, ReadStatus::kOk);
    EXPECT_EQ(r.count, 0u);
    r = ReadTrace("");
    EXPECT_EQ(r.status, ReadStatus::kOk);
    EXPECT_EQ(r.count, 0u);
    TempDir dir;
    Read missing;
    EXPECT_EQ(ReadNmeaLog(dir.File("absent.nmea"), missing.points, missing.count), ReadStatus::kCannotOpen);
    EXPECT_EQ(missing.count, 0u);
    EXPECT_EQ(ReadNmeaLog(dir.path(), missing.points, missing.count), ReadStatus::kCannotOpen);  // a folder
}

TEST(ReadNmeaLog, OtherTalkersStandInWhenThereIsNoGpSentence) {
    // A multi-system receiver: one GSA per system each second; the first GSA
    // of each second counts, even across other sentences.
    const std::string trace =
        "$GNRMC,083559.00,A,4717.11437,N,00833.91522,E,0.004,77.52,091202,,,A*57\n"
        "$GNGGA,083559.00,4717.11399,N,00833.91590,E,1,08,1.01,499.6,M,48.0,M,,*5B\n"
        "$GNGSA,A,3,23,29,07,08,09,18,26,,,,,,1.94,1.18,1.54,1*0D\n"
        "$GPGSV,3,1,10,07,30,300,40*00\n"
        "$GLGSA,A,3,65,67,,,,,,,,,,,9.94,9.18,9.54,2*0D\n"
        "$BDGSA,A,3,,,,,,,,,,,,,8.0,8.0,8.0,4*00\n"
        "$GARMC,083600.00,A,4717.11500,N,00833.91600,W,1.0,80.00,091202,,,A*00\n"
        "$GBGGA,083600.00,4717.11500,S,00833.91600,W,1,07,1.01,500.1,M,48.0,M,,*00\n"
        "$GLGSA,A,3,65,67,,,,,,,,,,,2.00,1.20,1.60,2*00\n"
        "$GNGSA,A,3,65,67,,,,,,,,,,,7.00,7.00,7.00,2*00\n"
        "$gnGGA,083601.00,4717.1,N,00833.9,E,1,07,1,1,M,,M,,*00\n"
        "$G1GGA,083601.00,4717.1,N,00833.9,E,1,07,1,1,M,,M,,*00\n";
    Read r = ReadTrace(trace);
    ASSERT_EQ(r.status, ReadStatus::kOk);
    ASSERT_EQ(r.count, 2u);
    EXPECT_EQ(+r.points[0].record, 1);
    EXPECT_DOUBLE_EQ(+r.points[0].latitude, Degrees(47, 17.11399));
    EXPECT_FLOAT_EQ(+r.points[0].altitude, 499.6f);
    EXPECT_EQ(+r.points[0].year, 2002);
    EXPECT_FLOAT_EQ(+r.points[0].pdop, 1.94f);
    EXPECT_FLOAT_EQ(+r.points[0].vdop, 1.54f);
    EXPECT_EQ(+r.points[1].record, 2);
    EXPECT_DOUBLE_EQ(+r.points[1].latitude, -Degrees(47, 17.115));
    EXPECT_DOUBLE_EQ(+r.points[1].longitude, -Degrees(8, 33.916));
    EXPECT_FLOAT_EQ(+r.points[1].speed, 1.852f);
    EXPECT_FLOAT_EQ(+r.points[1].pdop, 2.0f);
    EXPECT_EQ(+r.points[1].satellites, 7);

    // One $GP sentence among them: only the $GP sentences count.
    r = ReadTrace(trace + "$GPGSA,A,3,,,,,,,,,,,,,4.0,5.0,6.0,*00\n");
    ASSERT_EQ(r.count, 1u);
    EXPECT_FLOAT_EQ(+r.points[0].pdop, 4.0f);
    EXPECT_EQ(+r.points[0].latitude, 0.0);
}

TEST(WriteNmeaFile, WritesTheSelectedSentencesByteForByte) {
    // The entry's altitude is written, not the point's.
    const TrackPoint a =
        WithFix(DatedPoint(48.5, -2.25, 2010, 2, 1, 9, 5, 7.25f),
                {.altitude = 999, .speed = 18.52f, .direction = 45.5f, .satellites = 7,
                 .pdop = 2.5f, .hdop = 1.5f, .vdop = 3.0f});
    // No date: RMC date 000000; the seconds stop at 59.999.
    const TrackPoint b = WithFix(DatedPoint(-33.5, 151.25, 0, 0, 0, 23, 59, 59.9996f),
                                 {.satellites = 12, .hdop = 0.9f});
    const ExportEntry entries[] = {{&a, 123.45f}, {&b, -3.7f}};

    TempDir dir;
    const std::string path = dir.File("out.nmea");
    ASSERT_EQ(WriteNmeaFile(path, entries, 2, 0xFFFFFFFF), 0);
    EXPECT_EQ(ReadFile(path),
              "$GPGSA,A,3,,,,,,,,,,,,,2.5,1.5,3.0,*1E\r\n"
              "$GPGGA,090507.250,4830.0000,N,00215.0000,W,1,07,1.5,123.4,M,,M,,*52\r\n"
              "$GPRMC,090507.250,A,4830.0000,N,00215.0000,W,10.000000,45.500000,010210,,*13\r\n"
              "$GPGLL,4830.0000,N,00215.0000,W,090507.250,A*23\r\n"
              "$GPVTG,45.500000,T,,M,10.000000,N,18.520000,K*6B\r\n"
              "$GPGSA,A,3,,,,,,,,,,,,,0.0,0.9,0.0,*17\r\n"
              "$GPGGA,235959.999,3330.0000,S,15115.0000,E,1,12,0.9,-3.7,M,,M,,*76\r\n"
              "$GPRMC,235959.999,A,3330.0000,S,15115.0000,E,0.000000,0.000000,000000,,*14\r\n"
              "$GPGLL,3330.0000,S,15115.0000,E,235959.999,A*23\r\n"
              "$GPVTG,0.000000,T,,M,0.000000,N,0.000000,K*50\r\n");

    // Only the GGA bit: one GGA line per entry; the baud bits write nothing.
    ASSERT_EQ(WriteNmeaFile(path, entries, 2, kNmeaGga | 4800), 0);
    EXPECT_EQ(ReadFile(path),
              "$GPGGA,090507.250,4830.0000,N,00215.0000,W,1,07,1.5,123.4,M,,M,,*52\r\n"
              "$GPGGA,235959.999,3330.0000,S,15115.0000,E,1,12,0.9,-3.7,M,,M,,*76\r\n");

    // Option word 0: no file at all, and success.
    const std::string none = dir.File("none.nmea");
    EXPECT_EQ(WriteNmeaFile(none, entries, 2, 0), 0);
    EXPECT_FALSE(FileExists(none));
    EXPECT_EQ(WriteNmeaFile(dir.File("no/such/folder/x.nmea"), entries, 2, kAllOptions), 1);
}

TEST(WriteNmeaFile, ReadsBackWhatItWrote) {
    std::vector<TrackPoint> points(50);
    std::vector<ExportEntry> entries(50);
    for (int i = 0; i < 50; ++i) {
        // 1970 ... 2019 survive two-digit years.
        points[i] = WithFix(DatedPoint(-60 + i * 2.5371, -179.5 + i * 7.1234, 1970 + i,
                                       1 + i % 12, 1 + i % 28, i % 24, i, 0.125f * i),
                            {.record = i + 1, .altitude = 100.5f - i, .speed = 1.852f * i,
                             .direction = 7.25f * i, .satellites = i, .pdop = 1.5f + i,
                             .hdop = 0.5f + i, .vdop = 2.5f});
        entries[i] = {&points[i], points[i].altitude};
    }
    TempDir dir;
    const std::string path = dir.File("round.nmea");
    ASSERT_EQ(WriteNmeaFile(path, entries.data(), 50, kNmeaGsa | kNmeaGga | kNmeaRmc), 0);
    Read r;
    ASSERT_EQ(ReadNmeaLog(path, r.points, r.count), ReadStatus::kOk);
    ASSERT_EQ(r.count, 50u);
    for (int i = 0; i < 50; ++i) {
        SCOPED_TRACE(i);
        TrackPoint q = r.points[i];
        // Positions to four decimals of a minute, speeds in knots to six.
        EXPECT_NEAR(+q.latitude, +points[i].latitude, 1e-6);
        EXPECT_NEAR(+q.longitude, +points[i].longitude, 1e-6);
        EXPECT_NEAR(+q.speed, +points[i].speed, 1e-4);
        q.latitude = points[i].latitude;
        q.longitude = points[i].longitude;
        q.speed = points[i].speed;
        EXPECT_EQ(Fields(q), Fields(points[i]));
    }
}

TEST(Nmea, GpsbabelReadsWhatTheWriterMakes) {
    if (!HasGpsbabel()) GTEST_SKIP() << "gpsbabel is not installed";
    // gpsbabel reads back the writer's sentences, checksums and all, with the
    // same positions and times.
    const TrackPoint p[3] = {DatedPoint(48.1173, 11.516667, 2007, 3, 9, 12, 35, 19),
                             DatedPoint(-33.5, -2.25, 1999, 12, 31, 23, 59, 58),
                             DatedPoint(45.0001, 6.0002, 2010, 6, 15, 8, 0, 1)};
    const ExportEntry entries[3] = {{&p[0], 545.4f}, {&p[1], 12}, {&p[2], 1000.5f}};
    TempDir dir;
    ASSERT_EQ(WriteNmeaFile(dir.File("ours.nmea"), entries, 3, kAllOptions), 0);
    const std::string back = "gpsbabel -i nmea -f '" + dir.File("ours.nmea") + "' -o gpx -F '" +
                             dir.File("back.gpx") + "' 2>'" + dir.File("babel.err") + "'";
    ASSERT_EQ(std::system(back.c_str()), 0);
    const std::string gpx = ReadFile(dir.File("back.gpx"));
    for (const char* expected : {"<trkpt lat=\"48.117300000\" lon=\"11.516666667\">",
                                 "<trkpt lat=\"-33.500000000\" lon=\"-2.250000000\">",
                                 "<trkpt lat=\"45.000100000\" lon=\"6.000200000\">",
                                 "<time>2010-06-15T08:00:01Z</time>"})
        EXPECT_NE(gpx.find(expected), std::string::npos) << expected << "\n" << gpx;
    EXPECT_EQ(ReadFile(dir.File("babel.err")), "");
}

TEST(Nmea, RowsOfTheFormatTable) {
    // A ".nme" trace loads through the driver with every data type; only
    // ".nmea" is an output format.
    EXPECT_EQ(FindWriterRow("nme"), -1);
    TempDir dir;
    const std::string path = dir.File("TRIP.NME");
    WriteFile(path, "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
    RecordingHost host;
    CurrentTrack track;
    ASSERT_EQ(LoadTrack(track, path, host), 0);
    EXPECT_EQ(track.count, 1u);
    EXPECT_EQ(track.fieldMask, 0xFFFFu);
    EXPECT_TRUE(host.messages.empty());
}
