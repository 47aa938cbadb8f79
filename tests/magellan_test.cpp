#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "convert/driver.h"
#include "formats/format_table.h"
#include "core/strings.h"
#include "formats/magellan.h"
#include "reader_test_support.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

using Read = ferolin_test::ReadResult;

Read ReadLog(const std::string& text) { return ReadFromFile(ReadMagellanLog, "track.log", text); }

// ddmm.mmm to degrees as the format defines it.
double FromMagellan(double v) {
    const double whole = static_cast<double>(static_cast<long>(v / 100));
    return whole + (v - whole * 100) / 60;
}

}  // namespace

TEST(ReadMagellanLog, ConvertsTheTrackSentences) {
    const Read r = ReadLog(
        "$PMGNCMD,VERSION,1.0*2B\r\n"
        "$PMGNTRK,4807.038,N,01131.000,E,00545,M,120105.50,A,,230394*7B\r\n"
        "$PMGNWPL,4807.038,N,01131.000,E,00545,M,NAME,,a*00\r\n"
        "$PMGNTRK,3330.000,S,15115.000,W,01000,F,235959.99,A,,311207*00\r\n"
        "$PMGNTRK,0100.5,N,00000.000,E,545.9,M,000000,A,,010170*00\r\n"
        "$PMGNCMD,END*3D\r\n");
    ASSERT_EQ(r.status, ReadStatus::kOk);
    ASSERT_EQ(r.count, 3u);
    const TrackPoint& a = r.points[0];
    EXPECT_DOUBLE_EQ(+a.latitude, FromMagellan(4807.038));
    EXPECT_NEAR(+a.latitude, 48.1173, 1e-12);
    EXPECT_DOUBLE_EQ(+a.longitude, FromMagellan(1131.0));
    // Two-digit years from 70 on are the 1900s; no fix quality fields.
    EXPECT_EQ(Fields(a), Fields(WithFix(DatedPoint(+a.latitude, +a.longitude, 1994, 3, 23, 12, 1, 5.5f),
                                        {.record = 1, .altitude = 545})));

    const TrackPoint& b = r.points[1];  // no record for the waypoint line
    EXPECT_EQ(+b.record, 2);
    EXPECT_DOUBLE_EQ(+b.latitude, -33.5);
    EXPECT_DOUBLE_EQ(+b.longitude, -151.25);
    EXPECT_FLOAT_EQ(+b.altitude, 304.8f);  // feet
    EXPECT_FLOAT_EQ(+b.seconds, 59.99f);
    EXPECT_EQ(+b.year, 2007);

    const TrackPoint& c = r.points[2];
    EXPECT_EQ(+c.record, 3);
    EXPECT_DOUBLE_EQ(+c.latitude, 1.0 + 0.5 / 60);
    EXPECT_FLOAT_EQ(+c.altitude, 545.0f);  // read as an integer
    EXPECT_EQ(+c.year, 1970);
}

TEST(ReadMagellanLog, FieldCountsYearsAndShortFields) {
    // 9 or 10 fields: position, altitude and time, no date; 8: nothing.
    Read r = ReadLog(
        "$PMGNTRK,4807.038,N,01131.000,E,00545,M,120105.50,A\n"
        "$PMGNTRK,4807.038,N,01131.000,E,00545,M,120105.50,A,name\n"
        "$PMGNTRK,4807.038,N,01131.000,E,00545,M,120105.50\n"
        "$PMGNTRK\n");
    ASSERT_EQ(r.count, 4u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_NEAR(+r.points[i].latitude, 48.1173, 1e-9);
        EXPECT_FLOAT_EQ(+r.points[i].altitude, 545.0f);
        EXPECT_EQ(+r.points[i].hour, 12);
        EXPECT_EQ(+r.points[i].day, 0);
        EXPECT_EQ(+r.points[i].year, 0);
    }
    for (int i = 2; i < 4; ++i) {
        EXPECT_EQ(+r.points[i].record, i + 1);
        EXPECT_EQ(+r.points[i].latitude, 0.0);
        EXPECT_EQ(+r.points[i].hour, 0);
    }

    const struct {
        const char* date;
        int day, month, year;
    } dates[] = {{"010107", 1, 1, 2007}, {"010199", 1, 1, 1999}, {"010169", 1, 1, 2069},
                 {"010170", 1, 1, 1970}, {"0101", 1, 1, 2000},   {"1", 1, 0, 2000}};
    for (const auto& d : dates) {
        r = ReadLog(std::string("$PMGNTRK,1,N,1,E,1,M,1,A,,") + d.date + "*00\n");
        ASSERT_EQ(r.count, 1u) << d.date;
        EXPECT_EQ(ferolin_test::DateOf(r.points[0]), d.year * 10000 + d.month * 100 + d.day)
            << d.date;
        // Short fields: the missing digits read as 0.
        EXPECT_EQ(+r.points[0].hour, 1);
        EXPECT_EQ(+r.points[0].minute, 0);
        EXPECT_DOUBLE_EQ(+r.points[0].latitude, 1.0 / 60);
    }

    // A line longer than 99 characters is cut after the day of its date; the
    // rest of the date is the next piece, which is no track line.
    const std::string line =
        "$PMGNTRK,4807.038" + std::string(44, '0') + ",N,01131.000,E,00545,M,120105.50,A,,230394\n";
    r = ReadLog(line + line.substr(0, 60) + "\n");
    ASSERT_EQ(r.count, 2u);
    EXPECT_NEAR(+r.points[0].latitude, 48.1173, 1e-9);
    EXPECT_EQ(+r.points[0].day, 23);
    EXPECT_EQ(+r.points[0].month, 0);
    EXPECT_EQ(+r.points[0].year, 2000);
    EXPECT_EQ(+r.points[1].record, 2);
    EXPECT_EQ(+r.points[1].longitude, 0.0);  // only three fields

    // No track line: no point, not a failure. A missing file fails.
    r = ReadLog("$PMGNWPL,x\nhello\n");
    EXPECT_EQ(r.status, ReadStatus::kOk);
    EXPECT_EQ(r.count, 0u);
    TempDir dir;
    Read missing;
    EXPECT_EQ(ReadMagellanLog(dir.File("absent.log"), missing.points, missing.count), ReadStatus::kCannotOpen);
}

TEST(WriteMagellanLog, WritesOneSentencePerEntryByteForByte) {
    // The entry's altitude is written, not the point's.
    const TrackPoint a = WithFix(DatedPoint(-33.5, 151.25, 2007, 3, 9, 12, 1, 5.5f), {.altitude = 1});
    const TrackPoint b = DatedPoint(48.1173, -11.5, 1999, 12, 31, 23, 59, 59.999f);  // 59.99 written
    const TrackPoint c{};
    const ExportEntry entries[] = {{&a, 545.9f}, {&b, -3.7f}, {&c, 0.0f}};
    TempDir dir;
    const std::string path = dir.File("out.log");
    ASSERT_EQ(WriteMagellanLog(path, entries, 3, 0), 0);  // the option word is not used
    const std::string expected =
        "$PMGNTRK,3330.000,S,15115.000,E,00545,M,120105.50,A,,090307*64\r\n"
        "$PMGNTRK,4807.038,N,01130.000,W,-0003,M,235959.99,A,,311299*7F\r\n"
        "$PMGNTRK,0000.000,N,00000.000,E,00000,M,000000.00,A,,000000*70\r\n";
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_EQ(WriteMagellanLog(dir.File("no/folder/out.log"), entries, 3, kAllOptions), 1);

    // Read back: positions to the written precision, altitudes truncated,
    // 1999 stays 1999.
    Read r;
    ASSERT_EQ(ReadMagellanLog(path, r.points, r.count), ReadStatus::kOk);
    ASSERT_EQ(r.count, 3u);
    EXPECT_EQ(Fields(r.points[0]), Fields(WithFix(DatedPoint(-33.5, 151.25, 2007, 3, 9, 12, 1, 5.5f),
                                                  {.record = 1, .altitude = 545})));
    EXPECT_NEAR(+r.points[1].latitude, 48.1173, 1e-3 / 60);
    EXPECT_EQ(Fields(r.points[1]),
              Fields(WithFix(DatedPoint(+r.points[1].latitude, -11.5, 1999, 12, 31, 23, 59, 59.99f),
                             {.record = 2, .altitude = -3})));
    EXPECT_EQ(+r.points[2].record, 3);
}

TEST(Magellan, ReachedThroughTheFallBacksOfItsRows) {
    TempDir dir;
    const std::string track = "$PMGNTRK,4807.038,N,01131.000,E,00545,M,120105.50,A,,230394*7B\r\n";
    for (const char* name : {"walk.log", "WALK.TRK", "walk.upt"}) {
        RecordingHost host;
        CurrentTrack current;
        WriteFile(dir.File(name), track + track);
        ASSERT_EQ(LoadTrack(current, dir.File(name), host), 0) << name;
        EXPECT_EQ(current.count, 2u) << name;
        EXPECT_EQ(current.fieldMask, 0x000Eu) << name;
        EXPECT_TRUE(host.messages.empty()) << name;
    }

    // A ".log" that is neither a datalog nor a Magellan log has no point.
    RecordingHost host;
    CurrentTrack current;
    WriteFile(dir.File("notes.log"), "shopping list\n");
    EXPECT_EQ(LoadTrack(current, dir.File("notes.log"), host), 1);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "No track point in the file.");
    EXPECT_EQ(host.messages[0].icon, MessageIcon::kExclamation);
    EXPECT_EQ(current.fieldMask, 0x000Eu);

    // Exported through the "log" row.
    current.Reset();
    ASSERT_EQ(LoadTrack(current, dir.File("walk.upt"), host), 0);
    ASSERT_EQ(ExportToFile(current, dir.File("out.log"), FindWriterRow("log"), host), 0);
    EXPECT_EQ(ReadFile(dir.File("out.log")),
              "$PMGNTRK,4807.038,N,01131.000,E,00545,M,120105.50,A,,230394*7B\r\n"
              "$PMGNTRK,4807.038,N,01131.000,E,00545,M,120105.50,A,,230394*7B\r\n");
}
