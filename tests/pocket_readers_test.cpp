// The handheld readers on real files: grouping, conversions and limits.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <chrono>
#include <string>

#include "pocket/ppc_track.h"
#include "pocket_test_support.h"
#include "test_support.h"

using ferolin_test::TempDir;
using ferolin_test::WriteFile;

namespace {

struct Read {
    int status = -1;
    uint32_t count = 0;
    PPCTrackArray points;
    const PPCTrackPoint& operator[](uint32_t i) const { return points.get()[i]; }
};

class PocketReaders : public ::testing::Test {
protected:
    Read Datalog(const std::string& text) {
        const std::string path = dir.File("track.log");
        EXPECT_TRUE(WriteFile(path, text));
        Read r;
        r.status = PPCReadDatalog(path, r.points, r.count);
        return r;
    }
    Read Nmea(const std::string& text) {
        const std::string path = dir.File("track.nmea");
        EXPECT_TRUE(WriteFile(path, text));
        Read r;
        r.status = PPCReadNmea(path, r.points, r.count);
        return r;
    }
    TempDir dir;
};

const std::string kSep = "=====================\r\n";

TEST_F(PocketReaders, DatalogFillsEveryKeyedField) {
    const Read r = Datalog(pocket_test::ThreePointDatalog());
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.count, 3u);
    auto want = pocket_test::ThreePoints();
    want[0].vdop = 0;  // the datalog has none
    for (int i = 0; i < 3; ++i) EXPECT_EQ(pocket_test::Fields(r[i]), pocket_test::Fields(want[i])) << i;
}

TEST_F(PocketReaders, DatalogCountRules) {
    // Five announced, three blocks: five records, the last two all zero.
    std::string blocks;
    for (int i = 1; i <= 3; ++i) blocks += "Record: " + std::to_string(i) + "\r\nYear: 2007\r\n" + kSep;
    Read r = Datalog("About total Numbers: 5\r\n" + kSep + blocks);
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.count, 5u);
    EXPECT_EQ(r[2].record, 3);
    for (uint32_t i = 3; i < 5; ++i)
        EXPECT_EQ(pocket_test::Fields(r[i]), pocket_test::Fields(PPCTrackPoint{})) << i;

    // A first count of 0 is passed over; the later 2 counts. Key lines before
    // the first separator are ignored, blocks beyond the count too.
    r = Datalog("About total Numbers: 0\r\nRecord: 99\r\nAbout total Numbers: 2\r\nYear: 1999\r\n" +
                kSep + "Record: 1\r\n" + kSep + "Record: 2\r\n" + kSep + "Record: 3\r\n" + kSep);
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.count, 2u);
    EXPECT_EQ(r[0].record, 1);
    EXPECT_EQ(r[0].year, 0);
    EXPECT_EQ(r[1].record, 2);

    // No count line, or only zero ones: no track point, nothing allocated. A
    // negative count, or one above the file's size in bytes, is a damaged
    // header: the open fails instead of allocating.
    struct Row {
        std::string text;
        int status;
        uint32_t count;
    };
    const Row rows[] = {
        {"About total Numbers: 0\r\n" + kSep + "Record: 1\r\n" + kSep, 0, 0},
        {"", 0, 0},
        {"About total Numbers: -3\r\n" + kSep, 1, 0},
        {"About total Numbers: 4000000000\r\n" + kSep + "Record: 1\r\n" + kSep, 1, 0},
        {"About total Numbers: 40\r\n" + kSep, 0, 40},  // 46 bytes
        {"About total Numbers: 50\r\n" + kSep, 1, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        r = Datalog(row.text);
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.count, row.count);
        if (row.count == 0) {
            EXPECT_EQ(r.points.get(), nullptr);
        }
    }
}

TEST_F(PocketReaders, DatalogKeysMatchExactlyAtTheLineStart) {
    const Read r = Datalog(
        "About total Numbers: 1\n=====================\n"
        "record: 7\nRecord:8\n Record: 9\nAltitude: 12.5 m\nAltitude: 13.5\n"
        "Satellite No: 2x\nSpeed(KMs/hr): abc\nLatitude: -1e3\nSecond: 0x1p3\n"
        "=====================\n");
    ASSERT_EQ(r.count, 1u);
    EXPECT_EQ(r[0].record, 0);        // wrong case, no blank, leading blank
    EXPECT_EQ(r[0].altitude, 13.5);   // the later value wins
    EXPECT_EQ(r[0].satellites, 2);    // atoi stops at the first non-digit
    EXPECT_EQ(r[0].speed, 0);         // no digits
    EXPECT_EQ(r[0].latitude, -1000);  // atof reads exponents
    EXPECT_EQ(r[0].seconds, 8);       // and hexadecimal reals
}

TEST_F(PocketReaders, DatalogLongLinesArriveInPieces) {
    // A line of 1023 characters is one piece; its continuation is a line of
    // its own and so starts with a key.
    const std::string filler(1023, 'x');
    const Read r = Datalog("About total Numbers: 2\n" + kSep + filler + "Record: 77\r\n" + kSep +
                           "Altitude: " + std::string(2000, '1') + "\r\n" + kSep);
    ASSERT_EQ(r.count, 2u);
    EXPECT_EQ(r[0].record, 77);
    EXPECT_GT(r[1].altitude, 1e300);  // a 2000-digit number overflows to infinity
}

TEST_F(PocketReaders, OnlyRegularFilesAreOpened) {
    Read r;
    EXPECT_EQ(PPCReadDatalog(dir.File("missing.log"), r.points, r.count), 1);
    EXPECT_EQ(PPCReadNmea(dir.path(), r.points, r.count), 1);
    EXPECT_EQ(PPCReadDatalog("/dev/null", r.points, r.count), 1);
    EXPECT_EQ(PPCReadNmea("/dev/zero", r.points, r.count), 1);
    // A FIFO without a writer would block a plain open: refused at once.
    const std::string fifo = dir.File("pipe.log");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(PPCReadDatalog(fifo, r.points, r.count), 1);
    EXPECT_EQ(PPCReadNmea(fifo, r.points, r.count), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(r.count, 0u);
}

const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
const std::string kGsa = "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n";
const std::string kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,W,022.4,084.4,230394,003.1,W*6A\r\n";
const std::string kRmc2 = "$GPRMC,123520.75,V,3348.500,S,15112.250,E,0.0,359.0,010170,,*11\r\n";

TEST_F(PocketReaders, NmeaConvertsTheSentences) {
    const Read r = Nmea(kGga + kGsa + kRmc);
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.count, 1u);
    const PPCTrackPoint& p = r[0];
    EXPECT_NEAR(p.latitude, 48.1173, 1e-12);
    EXPECT_NEAR(p.longitude, -(11 + 31.0 / 60), 1e-12);
    EXPECT_NEAR(p.speed, 41.4848, 1e-12);  // 22.4 knots
    // VDOP: field 17 ends at the checksum's "*".
    const PPCTrackPoint want{.record = 1, .eventType = 1, .year = 1994, .month = 3, .day = 23,
                             .hour = 12, .minute = 35, .seconds = 19, .latitude = p.latitude,
                             .longitude = p.longitude, .altitude = 545.4, .pdop = 2.5,
                             .hdop = 1.3, .vdop = 2.1, .satellites = 8, .speed = p.speed,
                             .direction = 84.4};
    EXPECT_EQ(pocket_test::Fields(p), pocket_test::Fields(want));

    // Status V, southern and eastern hemispheres, fractional seconds, the
    // year 70 in the 1900s.
    const Read v = Nmea(kRmc2);
    ASSERT_EQ(v.count, 1u);
    EXPECT_NEAR(v[0].latitude, -33.808333333333333, 1e-12);
    EXPECT_NEAR(v[0].longitude, 151.20416666666667, 1e-12);
    EXPECT_EQ(std::tuple(v[0].eventType, v[0].seconds, v[0].direction, v[0].year, v[0].month, v[0].day),
              std::tuple(0, 20.75, 359.0, 1970, 1, 1));
}

TEST_F(PocketReaders, NmeaGroupsOneRecordPerRmc) {
    // GGA, GSA, RMC each second: two records.
    Read r = Nmea(kGga + kGsa + kRmc + kGga + kGsa + kRmc2);
    ASSERT_EQ(r.count, 2u);
    EXPECT_EQ(r[0].record, 1);
    EXPECT_EQ(r[1].record, 2);
    EXPECT_EQ(r[1].satellites, 8);
    EXPECT_EQ(r[1].seconds, 20.75);

    // RMC, GGA, GSA each second: the same grouping.
    r = Nmea(kRmc + kGga + kGsa + kRmc2 + kGga + kGsa);
    ASSERT_EQ(r.count, 2u);
    EXPECT_EQ(r[0].satellites, 8);
    EXPECT_EQ(r[0].hour, 12);
    EXPECT_EQ(r[1].pdop, 2.5);
    EXPECT_EQ(r[1].seconds, 20.75);

    // Two RMC in a row: the second opens a record of its own without GGA data.
    r = Nmea(kGga + kRmc + kRmc2);
    ASSERT_EQ(r.count, 2u);
    EXPECT_EQ(r[0].satellites, 8);
    EXPECT_EQ(r[1].satellites, 0);
    EXPECT_EQ(r[1].record, 2);

    // Two GGA without an RMC between: the second opens a record that keeps
    // record number 0, as no RMC follows before the third GGA would open a
    // third record; reading ends there and the last RMC is dropped.
    r = Nmea(kRmc + kGga + kGga + kGsa + kGga + kRmc2);
    ASSERT_EQ(r.count, 2u);
    EXPECT_EQ(r[1].record, 0);
    EXPECT_EQ(r[1].satellites, 8);
    EXPECT_EQ(r[1].pdop, 2.5);

    // In a GGA, RMC order, a GGA after the final RMC is dropped; other
    // sentences and lower-case tags are ignored.
    const std::string gga11 = "$GPGGA,123520,4807.038,N,01131.000,E,1,11,0.9,9.5,M,46.9,M,,*47\r\n";
    r = Nmea("$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n$gprmc,1,A,\r\n" + kGga + kRmc + gga11);
    ASSERT_EQ(r.count, 1u);
    EXPECT_EQ(r[0].satellites, 8);
    EXPECT_EQ(r[0].altitude, 545.4);
    EXPECT_EQ(r[0].record, 1);

    // No RMC: no track point.
    r = Nmea(kGga + kGsa);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.count, 0u);
    EXPECT_EQ(r.points.get(), nullptr);
}

TEST_F(PocketReaders, NmeaTakesFieldsUpToTheLastCompleteComma) {
    // The longitude field has no comma after it: it and the rest are dropped.
    Read r = Nmea("$GPRMC,123519,A,4807.038,N,01131.000\r\n");
    ASSERT_EQ(r.count, 1u);
    EXPECT_EQ(r[0].eventType, 1);
    EXPECT_NEAR(r[0].latitude, 48.1173, 1e-12);
    EXPECT_EQ(r[0].longitude, 0);
    EXPECT_EQ(r[0].year, 0);

    // The date is the last field: without its comma it stays 0.
    r = Nmea("$GPRMC,123519,A,4807.038,N,01131.000,W,022.4,084.4,230394*6A\r\n");
    EXPECT_EQ(r[0].day, 0);
    EXPECT_EQ(r[0].direction, 84.4);

    // GSA VDOP: at the end of the line, before "*", before a comma.
    r = Nmea("$GPGSA,A,3,,,,,,,,,,,,,2.5,1.3,2.1\r\n" + kRmc);
    EXPECT_EQ(r[0].vdop, 2.1);
    r = Nmea("$GPGSA,A,3,,,,,,,,,,,,,2.5,1.3,4.5,\r\n" + kRmc);
    EXPECT_EQ(r[0].vdop, 4.5);
    r = Nmea("$GPGSA,A,3,,,,,,,,,,,,,2.5,1.3\r\n" + kRmc);
    EXPECT_EQ(r[0].hdop, 0);
    EXPECT_EQ(r[0].pdop, 2.5);

    // Short digit groups never reach into the next field: time "7", date
    // "2", latitude "4", longitude "01".
    r = Nmea("$GPRMC,7,A,4,N,01,E,,,2,\r\n");
    ASSERT_EQ(r.count, 1u);
    // Year 0 is below 70: 2000.
    EXPECT_EQ(pocket_test::Fields(r[0]),
              pocket_test::Fields({.record = 1, .eventType = 1, .year = 2000, .day = 2, .hour = 7,
                                   .latitude = 4, .longitude = 1}));

    // Year digits 69 give 2069; four-digit years stay.
    r = Nmea("$GPRMC,,,,,,,,,010169,\r\n$GPRMC,,,,,,,,,01012005,\r\n");
    ASSERT_EQ(r.count, 2u);
    EXPECT_EQ(r[0].year, 2069);
    EXPECT_EQ(r[1].year, 2005);
}

TEST_F(PocketReaders, NmeaLongLinesArriveInPieces) {
    // The GSA line is longer than 99 characters: the first piece ends inside
    // field 16 (HDOP), so only PDOP is read; the rest of the line is a piece
    // of its own, no sentence. A GGA whose fields start beyond the first
    // piece keeps nothing.
    std::string longGsa = "$GPGSA,A,3,";
    for (int i = 0; i < 12; ++i) longGsa += "00004,";
    longGsa += "2.5,1.3" + std::string(20, '0') + ",2.1*00\r\n";
    const std::string longGga = "$GPGGA," + std::string(120, '1') + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M\r\n";
    const Read r = Nmea(longGsa + longGga + kRmc);
    ASSERT_EQ(r.count, 1u);
    EXPECT_EQ(std::tuple(r[0].pdop, r[0].hdop, r[0].vdop, r[0].satellites, r[0].altitude, r[0].hour),
              std::tuple(2.5, 0.0, 0.0, 0, 0.0, 12));
}

TEST(PocketReadersMemory, SameAsFromFile) {
    PPCTrackArray points;
    uint32_t count = 0;
    EXPECT_EQ(PPCReadDatalogText(pocket_test::ThreePointDatalog(), points, count), 0);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(points.get()[2].record, 7);
    EXPECT_EQ(PPCReadNmeaText(kGga + kRmc + kRmc2, points, count), 0);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(points.get()[1].record, 2);
}

}  // namespace
