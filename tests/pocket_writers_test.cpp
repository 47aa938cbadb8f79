// The handheld writers: byte-exact outputs spelled out from the format rules,
// in the C locale and under the comma-decimal German locale.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <climits>
#include <cmath>
#include <csignal>
#include <string>
#include <tuple>
#include <vector>

#include "pocket/ppc_track.h"
#include "pocket_test_support.h"
#include "test_support.h"

using ferolin_test::CountFiles;
using ferolin_test::ReadFile;
using ferolin_test::TempDir;
using ferolin_test::WriteFile;

namespace {

const std::string kGpxHead =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"yes\"?>\r\n"
    "<gpx\r\n"
    "\tversion=\"1.0\"\r\n"
    "\tcreator=\"Ferolin 1.2\"\r\n"
    "\txmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\r\n"
    "\txmlns=\"http://www.topografix.com/GPX/1/0\"\r\n"
    "\txmlns:topografix=\"http://www.topografix.com/GPX/Private/TopoGrafix/0/2\"\r\n"
    "\txsi:schemaLocation=\"http://www.topografix.com/GPX/1/0 "
    "http://www.topografix.com/GPX/1/0/gpx.xsd "
    "http://www.topografix.com/GPX/Private/TopoGrafix/0/2 "
    "http://www.topografix.com/GPX/Private/TopoGrafix/0/2/topografix.xsd\">\r\n"
    "\t<trk>\r\n";
const std::string kGpxTail = "\t\t</trkseg>\r\n\t</trk>\r\n</gpx>\r\n";
const std::string kGpxA =
    "\t\t\t<trkpt lat=\"45.500000\" lon=\"-3.250000\">\r\n"
    "\t\t\t<ele>100.000000</ele>\r\n"
    "\t\t\t<time>2005-03-05T08:07:06.500Z</time>\r\n"
    "\t\t\t<course>90.500000</course>\r\n"
    "\t\t\t<speed>10.000000</speed>\r\n"
    "\t\t\t<sat>7</sat>\r\n"
    "\t\t\t<hdop>1.250000</hdop>\r\n"
    "\t\t\t<vdop>3.000000</vdop>\r\n"
    "\t\t\t<pdop>2.500000</pdop>\r\n"
    "\t\t\t</trkpt>\r\n";
const std::string kGpxB =
    "\t\t\t<trkpt lat=\"-12.345678\" lon=\"123.456789\">\r\n"
    "\t\t\t<ele>0.000000</ele>\r\n"
    "\t\t\t<time>2005-03-05T08:07:09.500Z</time>\r\n"
    "\t\t\t<course>0.000000</course>\r\n"
    "\t\t\t<speed>5.000000</speed>\r\n"
    "\t\t\t<sat>4</sat>\r\n"
    "\t\t\t<hdop>0.000000</hdop>\r\n"
    "\t\t\t<vdop>0.000000</vdop>\r\n"
    "\t\t\t<pdop>0.000000</pdop>\r\n"
    "\t\t\t</trkpt>\r\n";
const std::string kGpxC =
    "\t\t\t<trkpt lat=\"0.000000\" lon=\"0.000000\">\r\n"
    "\t\t\t<ele>-5.500000</ele>\r\n"
    "\t\t\t<time>2004-02-29T23:59:59.999Z</time>\r\n"
    "\t\t\t<course>359.900000</course>\r\n"
    "\t\t\t<speed>0.138889</speed>\r\n"
    "\t\t\t<sat>0</sat>\r\n"
    "\t\t\t<hdop>0.000000</hdop>\r\n"
    "\t\t\t<vdop>0.000000</vdop>\r\n"
    "\t\t\t<pdop>0.000000</pdop>\r\n"
    "\t\t\t</trkpt>\r\n";

const std::string kPcx5Head =
    "H  SOFTWARE NAME & VERSION\r\n"
    "I  PCX5 2.09 by Ferolin 1.2\r\n"
    "\r\n"
    "H  R DATUM                IDX DA            DF            DX            DY            DZ\r\n"
    "M  G WGS 84               121 +0.000000e+00 +0.000000e+00 +0.000000e+00 +0.000000e+00 "
    "+0.000000e+00\r\n"
    "\r\n"
    "H  COORDINATE SYSTEM\r\n"
    "U  LAT LON DEG\r\n"
    "\r\n"
    "H  LATITUDE    LONGITUDE    DATE      TIME     ALT    ;track\r\n";
const std::string kPcx5A = "T  N45.5000000 W003.2500000 05-MAR-05 08:07:06 00100\r\n";
const std::string kPcx5B = "T  S12.3456780 E123.4567890 05-MAR-05 08:07:09 00000\r\n";
// -5.5 m rounds to the even -6.
const std::string kPcx5C = "T  N00.0000000 E000.0000000 29-FEB-04 23:59:59 -0006\r\n";

const std::string kPltHead =
    "OziExplorer Track Point File Version 2.1\r\n"
    "WGS 84\r\n"
    "Altitude is in Feet\r\n"
    "Reserved 3\r\n"
    "0, 2, 65280, walk, 1, 0, 0, 65280\r\n";
// Day numbers: 1 January 2005 is day 38353, so 5 March 2005 is 38353 + 59 + 4;
// 08:07:06 is 29226 s of 86400. 29 February 2004 is 38353 - 366 + 31 + 28.
const std::string kPltA =
    "+45.5000000, -003.2500000, 0, 00328.0800000, 38416.338264, 05-Mar-05, 08:07:06\r\n";
const std::string kPltB =
    "-12.3456780, +123.4567890, 0, 00000.0000000, 38416.338299, 05-Mar-05, 08:07:09\r\n";
const std::string kPltC =
    "+00.0000000, +000.0000000, 0, -0018.0444000, 38046.999988, 29-Feb-04, 23:59:59\r\n";

const std::string kTextHeader =
    "Record: \tDate: \tTime: \tLatitude: \tLongitude: \tAltitude: \tPDOP: \tHDOP: \tVDOP: \t"
    "Satellite No: \tSpeed(KMs/hr): \tDirection: \r\n";
// Speeds 36, 18, 0.5: the first is the fastest, the speed never rises, the
// average is 54.5 / 3, without stop (36 + 18) / 2.
const std::string kTextStatistics =
    "3 records\r\n"
    "Max Speed 36.000000 KMs/hr, record 5\r\n"
    "Max Acceleration 0.000000 KMs/hr, record 5\r\n"
    "Average Speed 18.166667 KMs/hr\r\n"
    "Average Speed (without stop) 27.000000 KMs/hr\r\n"
    "\r\n";
const std::string kTextA =
    "00005\t05/03/2005\t08:07:06.500\t45.500000\t-3.250000\t100.000000\t2.500000\t1.250000\t"
    "3.000000\t7\t36.000000\t90.500000\r\n";
const std::string kTextB =
    "00006\t05/03/2005\t08:07:09.500\t-12.345678\t123.456789\t0.000000\t0.000000\t0.000000\t"
    "0.000000\t4\t18.000000\t0.000000\r\n";
const std::string kTextC =
    "00007\t29/02/2004\t23:59:59.999\t0.000000\t0.000000\t-5.500000\t0.000000\t0.000000\t"
    "0.000000\t0\t0.500000\t359.900000\r\n";

// Runs each case in the C locale and under de_DE.UTF-8.
class PocketWriters : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam()) {
            ASSERT_TRUE(pocket_test::UseCommaLocale())
                << "the locale de_DE.UTF-8 is missing: run scripts/install-deps.sh as root";
        }
    }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }

    std::string Write(int format, const std::vector<PPCTrackPoint>& points, int flag,
                      const std::string& name = "walk") {
        const std::string path = dir.File("out" + std::string(format == kPPCGpx ? ".gpx" : format == kPPCPlt ? ".plt" : format == kPPCPcx5 ? ".trk" : ".txt"));
        const PPCTrackPoint* data = points.empty() ? nullptr : points.data();
        const uint32_t n = static_cast<uint32_t>(points.size());
        int status = -1;
        switch (format) {
            case kPPCGpx: status = PPCWriteGpx(path, name, data, n, flag); break;
            case kPPCPcx5: status = PPCWritePcx5(path, data, n, flag); break;
            case kPPCPlt: status = PPCWritePlt(path, name, data, n, flag); break;
            case kPPCText: status = PPCWriteText(path, data, n, flag); break;
        }
        EXPECT_EQ(status, 0);
        return ReadFile(path);
    }

    TempDir dir;
};

INSTANTIATE_TEST_SUITE_P(Locales, PocketWriters, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? std::string("GermanLocale") : std::string("CLocale");
                         });

TEST_P(PocketWriters, EveryPointAndTheAltitudeZeroFlag) {
    // The flag drops the point at altitude 0 only (B); -5.5 m (C) stays. The
    // PLT count line and the text statistics still count every point.
    const std::string gpxHead = kGpxHead + "\t\t<name>walk</name>\r\n\t\t<trkseg>\r\n";
    const std::string textHead = kTextStatistics + kTextHeader;
    struct Row {
        int format;
        std::string all, flagged, empty;
    };
    const Row rows[] = {
        {kPPCGpx, gpxHead + kGpxA + kGpxB + kGpxC + kGpxTail, gpxHead + kGpxA + kGpxC + kGpxTail,
         gpxHead + kGpxTail},
        {kPPCPcx5, kPcx5Head + kPcx5A + kPcx5B + kPcx5C, kPcx5Head + kPcx5A + kPcx5C, kPcx5Head},
        {kPPCPlt, kPltHead + " 3\r\n" + kPltA + kPltB + kPltC, kPltHead + " 3\r\n" + kPltA + kPltC,
         kPltHead + " 0\r\n"},
        {kPPCText, textHead + kTextA + kTextB + kTextC, textHead + kTextA + kTextC,
         "0 records\r\n"
         "Max Speed 0.000000 KMs/hr, record 0\r\n"
         "Max Acceleration 0.000000 KMs/hr, record 0\r\n"
         "Average Speed 0.000000 KMs/hr\r\n"
         "Average Speed (without stop) 0.000000 KMs/hr\r\n"
         "\r\n" + kTextHeader},
    };
    const auto points = pocket_test::ThreePoints();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.format);
        EXPECT_EQ(Write(row.format, points, 0), row.all);
        EXPECT_EQ(Write(row.format, points, 1), row.flagged);
        EXPECT_EQ(Write(row.format, {}, 1), row.empty);
    }

    // Ten points, two of them at altitude 0: " 10" and eight point lines.
    std::vector<PPCTrackPoint> ten(10, points[0]);
    ten[3].altitude = 0;
    ten[7].altitude = 0;
    std::string expected = kPltHead + " 10\r\n";
    for (int i = 0; i < 8; ++i) expected += kPltA;
    EXPECT_EQ(Write(kPPCPlt, ten, 1), expected);
}

TEST_P(PocketWriters, ZeroRecordsAndMonthsOutsideTheYear) {
    // The trailing all-zero records of a short datalog: month 0 has no
    // abbreviation; the day number of year 0, month 0, day 0 is 367 - 1.
    std::vector<PPCTrackPoint> points(2, PPCTrackPoint{});
    points[1].month = 13;
    points[1].year = 2005;
    points[1].day = 1;
    points[1].altitude = 1;
    EXPECT_EQ(Write(kPPCPcx5, points, 0),
              kPcx5Head + "T  N00.0000000 E000.0000000 00-?\?\?-00 00:00:00 00000\r\n" +
                  "T  N00.0000000 E000.0000000 01-?\?\?-05 00:00:00 00001\r\n");
    // Month 13 counts the whole of 2005: 38353 + 365.
    EXPECT_EQ(Write(kPPCPlt, points, 0),
              kPltHead + " 2\r\n" +
                  "+00.0000000, +000.0000000, 0, 00000.0000000, 366.000000, 00-?\?\?-00, 00:00:00\r\n" +
                  "+00.0000000, +000.0000000, 0, 00003.2808000, 38718.000000, 01-?\?\?-05, 00:00:00\r\n");
    const std::string gpx = Write(kPPCGpx, points, 0);
    EXPECT_NE(gpx.find("\t\t\t<time>0000-00-00T00:00:00.000Z</time>\r\n"), std::string::npos);
    EXPECT_NE(gpx.find("\t\t\t<time>2005-13-01T00:00:00.000Z</time>\r\n"), std::string::npos);
}

TEST_P(PocketWriters, GpxNameIsLatin1AndEscapedAndLongNamesAreWhole) {
    const std::vector<PPCTrackPoint> none;
    const std::string head = kGpxHead + "\t\t<name>";
    const std::string tail = "</name>\r\n\t\t<trkseg>\r\n" + kGpxTail;
    // UTF-8 "Zürich" becomes the ISO-8859-1 byte 0xFC.
    EXPECT_EQ(Write(kPPCGpx, none, 0, "Z\xC3\xBCrich"), head + "Z\xFCrich" + tail);
    EXPECT_EQ(Write(kPPCGpx, none, 0, "A&B<C>D"), head + "A&amp;B&lt;C&gt;D" + tail);
    // Characters outside Latin-1 (a euro sign, a CJK character), bytes that
    // are no UTF-8 and control characters become "?".
    EXPECT_EQ(Write(kPPCGpx, none, 0, "\xE2\x82\xAC-\xE6\x97\xA5-\xFF-\xC3-\x01"),
              head + "?-?-?-?-?" /* five replacements */ + tail);
    const std::string longName(5000, 'n');
    EXPECT_EQ(Write(kPPCGpx, none, 0, longName), head + longName + tail);
    // The PLT name is written as it is, whole.
    EXPECT_EQ(Write(kPPCPlt, none, 0, longName),
              "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\n"
              "Reserved 3\r\n0, 2, 65280, " + longName + ", 1, 0, 0, 65280\r\n 0\r\n");
}

TEST(PocketDayNumber, CalendarAndDefinedValuesOutsideIt) {
    EXPECT_EQ(PPCDayNumber(1, 1, 1901, 0, 0, 0), 367.0);
    EXPECT_EQ(PPCDayNumber(1, 1, 2005, 12, 0, 0), 38353.5);
    // 29 February and 1 March 2004: the leap day counts from March on.
    EXPECT_EQ(PPCDayNumber(29, 2, 2004, 0, 0, 0), 38046.0);
    EXPECT_EQ(PPCDayNumber(1, 3, 2004, 0, 0, 0), 38047.0);
    EXPECT_EQ(PPCDayNumber(31, 12, 2099, 0, 0, 0), 73050.0);
    // Years before 1901 count as 1901; later years go on with the same rule:
    // 1 January 2101 is 367 + 200 * 365 + 50 leap days.
    EXPECT_EQ(PPCDayNumber(1, 1, 0, 0, 0, 0), 367.0);
    EXPECT_EQ(PPCDayNumber(0, 0, 0, 0, 0, 0), 366.0);
    EXPECT_EQ(PPCDayNumber(1, 1, 2101, 0, 0, 0), 73417.0);
    // No loop per year: the largest year answers at once.
    EXPECT_EQ(PPCDayNumber(1, 1, INT32_MAX, 0, 0, 0), 784367708093.0);
    // Months outside 1..12 read no month length outside the year.
    EXPECT_EQ(PPCDayNumber(1, -7, 2005, 0, 0, 0), 38353.0);
    EXPECT_EQ(PPCDayNumber(1, 13, 2005, 0, 0, 0), 38353.0 + 365);
    EXPECT_EQ(PPCDayNumber(1, INT32_MAX, 2004, 0, 0, 0), 37987.0 + 366);
    // Extreme times stay finite.
    EXPECT_TRUE(std::isfinite(PPCDayNumber(INT32_MIN, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX)));
}

TEST(PocketWholeSeconds, TruncatesAndLimits) {
    EXPECT_EQ(PPCWholeSeconds(9.5), 9);
    EXPECT_EQ(PPCWholeSeconds(-0.5), 0);
    EXPECT_EQ(PPCWholeSeconds(1e300), INT32_MAX);
    EXPECT_EQ(PPCWholeSeconds(-1e300), INT32_MIN);
    EXPECT_EQ(PPCWholeSeconds(std::nan("")), 0);
}

TEST(PocketStatistics, MaximaAndAverages) {
    auto track = [](const std::vector<double>& speeds) {
        std::vector<PPCTrackPoint> points;
        int32_t record = 101;
        for (double s : speeds) {
            PPCTrackPoint p{};
            p.record = record++;
            p.speed = s;
            points.push_back(p);
        }
        return points;
    };
    struct Row {
        std::vector<double> speeds;
        double maxSpeed;
        int32_t maxSpeedRecord;
        double maxAcceleration;
        int32_t maxAccelerationRecord;
        double average, moving;
    };
    const Row rows[] = {
        // The fourth is the fastest; its rise of 5 is not above the second
        // point's rise of 5, which stays.
        {{0, 5, 3, 8}, 8, 104, 5, 102, 4, 16.0 / 3},
        {{2, 9, 2, 9}, 9, 102, 7, 102, 5.5, 5.5},  // equal maxima: the first wins
        {{9, 7, 7, 2}, 9, 101, 0, 101, 6.25, 6.25},  // only falling: acceleration 0 at the first
        {{4.5}, 4.5, 101, 0, 101, 4.5, 4.5},
        // Nothing above 1 km/h (1.0 itself is not): no division by zero.
        {{0.5, 1.0, 0}, 1.0, 102, 0.5, 102, 0.5, 0},
    };
    for (const Row& row : rows) {
        const auto p = track(row.speeds);
        const PPCTrackStatistics s = PPCComputeStatistics(p.data(), static_cast<uint32_t>(p.size()));
        SCOPED_TRACE(p.size());
        EXPECT_EQ(std::tuple(s.maxSpeed, s.maxSpeedRecord, s.maxAcceleration, s.maxAccelerationRecord,
                             s.averageSpeed, s.averageMovingSpeed),
                  std::tuple(row.maxSpeed, row.maxSpeedRecord, row.maxAcceleration,
                             row.maxAccelerationRecord, row.average, row.moving));
    }
    // An empty array.
    const PPCTrackStatistics s = PPCComputeStatistics(nullptr, 0);
    EXPECT_EQ(s.maxSpeed, 0);
    EXPECT_EQ(s.maxSpeedRecord, 0);
    EXPECT_EQ(s.averageSpeed, 0);
    EXPECT_EQ(s.averageMovingSpeed, 0);
}

TEST(PocketWriterFailures, NothingReplacedUnlessComplete) {
    TempDir dir;
    const auto points = pocket_test::ThreePoints();
    // A folder that does not exist, a folder as the target.
    EXPECT_EQ(PPCWritePcx5(dir.File("missing/walk.trk"), points.data(), 3, 0), 1);
    EXPECT_EQ(PPCWriteText(dir.path(), points.data(), 3, 0), 1);
    // A device that fills up: the write error is seen.
    EXPECT_EQ(PPCWriteGpx("/dev/full", "walk", points.data(), 3, 0), 1);
    EXPECT_EQ(PPCWritePlt("/dev/full", "walk", points.data(), 3, 0), 1);

    // A file size limit stops the writing part way: the old file stays and no
    // temporary file is left behind.
    const std::string target = dir.File("walk.gpx");
    ASSERT_TRUE(WriteFile(target, "old"));
    std::vector<PPCTrackPoint> many(200, points[0]);
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int status = PPCWriteGpx(target, "walk", many.data(), 200, 0);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(CountFiles(dir.path()), 1);

    // Written completely, the file replaces the old one, keeping nothing else.
    EXPECT_EQ(PPCWriteGpx(target, "walk", many.data(), 200, 0), 0);
    EXPECT_EQ(ReadFile(target).size(), kGpxHead.size() + std::string("\t\t<name>walk</name>\r\n\t\t<trkseg>\r\n").size() + 200 * kGpxA.size() + kGpxTail.size());
    EXPECT_EQ(CountFiles(dir.path()), 1);
}

}  // namespace
