#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "core/driver.h"
#include "core/format_table.h"
#include "formats/gpx.h"
#include "reader_test_support.h"
#include "test_support.h"
#include "xml_test_support.h"

using namespace ferolin;
using ferolin_test::Fields;
using ferolin_test::RecordingHost;
using ferolin_test::WithFix;
using ferolin_test::DatedPoint;
using ferolin_test::Place;
using ferolin_test::ReadFromFile;
using ferolin_test::FixedClock;
using ferolin_test::GermanLocale;
using ferolin_test::IsWellFormedXml;
using ferolin_test::ReadFile;
using ferolin_test::TempDir;
using ferolin_test::WriteFile;

namespace {

// 2007-03-05 14:07:09 UTC.
constexpr const char* kEpoch = "1173103629";

const std::string kHeader =
    "<?xml version=\"1.0\"?>\r\n"
    "<gpx\r\n"
    "version=\"1.0\"\r\n"
    "creator=\"Ferolin 1.51\"\r\n"
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\r\n"
    "xmlns=\"http://www.topografix.com/GPX/1/0\"\r\n"
    "xmlns:topografix=\"http://www.topografix.com/GPX/Private/TopoGrafix/0/2\"\r\n"
    "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/0 "
    "http://www.topografix.com/GPX/1/0/gpx.xsd "
    "http://www.topografix.com/GPX/Private/TopoGrafix/0/2 "
    "http://www.topografix.com/GPX/Private/TopoGrafix/0/2/topografix.xsd\">\r\n"
    "<time>2007-03-05T14:07:09</time>\r\n";

struct Points {
    TrackPoint p[2] = {};
    ExportEntry e[2];
    Points() {
        // The entry's altitude is written, not the point's.
        p[0] = WithFix(DatedPoint(48.1173, 11.516667, 2007, 3, 9, 7, 5, 3.25f),
                       {.record = 1, .altitude = 999, .speed = 36, .direction = 123.5f,
                        .satellites = 8, .pdop = 3.75f, .hdop = 1.25f, .vdop = 2.5f});
        p[1] = WithFix(DatedPoint(-45.5, -3.25, 0, 0, 0), {.record = 2});
        e[0] = {&p[0], 212.5f};
        e[1] = {&p[1], -15.0f};
    }
};

std::string Write(const std::string& name, const ExportEntry* entries, uint32_t count,
                  uint32_t options) {
    FixedClock clock(kEpoch);
    TempDir dir;
    const std::string path = dir.File(name);
    EXPECT_EQ(WriteGpxTrack(path, entries, count, options), 0);
    return ReadFile(path);
}

using Read = ferolin_test::ReadResult;

Read ReadDoc(const std::string& document) { return ReadFromFile(ReadGpxTrack, "track.gpx", document); }

std::string Gpx(const std::string& body) {
    return "<?xml version=\"1.0\"?><gpx version=\"1.0\" xmlns=\"http://www.topografix.com/GPX/1/0\">" +
           body + "</gpx>";
}

}  // namespace

TEST(GpxWriter, EveryElementInTableOrder) {
    Points pts;
    const std::string text = Write("walk.2006.gpx", pts.e, 2, kAllOptions);
    EXPECT_EQ(text, kHeader +
                        "<bounds minlat=\"-45.500000\" minlon=\"-3.250000\" maxlat=\"48.117298\" "
                        "maxlon=\"11.516667\"/>\r\n"
                        "<trk>\r\n"
                        "  <name>walk.2006</name>\r\n"
                        "<trkseg>\r\n"
                        "<trkpt lat=\"48.117300\" lon=\"11.516667\">\r\n"
                        "  <ele>212.500000</ele>\r\n"
                        "  <time>2007-03-09T07:05:03.250Z</time>\r\n"
                        "  <course>123.500000</course>\r\n"
                        "  <speed>10.000000</speed>\r\n"
                        "  <sat>8</sat>\r\n"
                        "  <hdop>1.250000</hdop>\r\n"
                        "  <vdop>2.500000</vdop>\r\n"
                        "  <pdop>3.750000</pdop>\r\n"
                        "</trkpt>\r\n"
                        "<trkpt lat=\"-45.500000\" lon=\"-3.250000\">\r\n"
                        "  <ele>-15.000000</ele>\r\n"
                        "  <course>0.000000</course>\r\n"
                        "  <speed>0.000000</speed>\r\n"
                        "  <sat>0</sat>\r\n"
                        "  <hdop>0.000000</hdop>\r\n"
                        "  <vdop>0.000000</vdop>\r\n"
                        "  <pdop>0.000000</pdop>\r\n"
                        "</trkpt>\r\n"
                        "</trkseg>\r\n"
                        "</trk>\r\n"
                        "</gpx>\r\n");
    EXPECT_TRUE(IsWellFormedXml(text));
}

TEST(GpxWriter, OptionBitsChooseElementsAndOptionZeroKeepsTheFrame) {
    Points pts;
    EXPECT_EQ(Write("t.gpx", pts.e, 2, 0),
              kHeader +
                  "<bounds minlat=\"-45.500000\" minlon=\"-3.250000\" maxlat=\"48.117298\" "
                  "maxlon=\"11.516667\"/>\r\n<trk>\r\n  <name>t</name>\r\n<trkseg>\r\n"
                  "<trkpt lat=\"48.117300\" lon=\"11.516667\">\r\n</trkpt>\r\n"
                  "<trkpt lat=\"-45.500000\" lon=\"-3.250000\">\r\n</trkpt>\r\n"
                  "</trkseg>\r\n</trk>\r\n</gpx>\r\n");
    // Only time and satellites; bits outside the writer's set change nothing.
    const std::string text = Write("t.gpx", pts.e, 1, kGpxTime | kGpxSatellites | 0xFF0000);
    EXPECT_NE(text.find("<trkpt lat=\"48.117300\" lon=\"11.516667\">\r\n"
                        "  <time>2007-03-09T07:05:03.250Z</time>\r\n"
                        "  <sat>8</sat>\r\n"
                        "</trkpt>\r\n"),
              std::string::npos);
}

TEST(GpxWriter, SingleEntryBoundsAreSinglePrecision) {
    const TrackPoint p = DatedPoint(48.8566, 2.3522, 0, 0, 0);
    const ExportEntry e{&p, 0};
    const std::string text = Write("paris.gpx", &e, 1, 0);
    EXPECT_NE(text.find("<bounds minlat=\"48.856602\" minlon=\"2.352200\" maxlat=\"48.856602\" "
                        "maxlon=\"2.352200\"/>\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("<trkpt lat=\"48.856600\" lon=\"2.352200\">\r\n"), std::string::npos);
}

TEST(GpxWriter, TimeOnlyForDatedPointsAndSecondsNeverReachSixty) {
    TrackPoint p[5] = {};
    const float seconds[5] = {59.9996f, 59.9994f, 75.0f, -0.5f, 9.0f};
    for (int i = 0; i < 5; ++i) p[i] = DatedPoint(0, 0, 2007, 12, 31, 23, 59, seconds[i]);
    p[4].day = 0;  // no date: no time element
    ExportEntry e[5];
    for (int i = 0; i < 5; ++i) e[i] = {&p[i], 0};
    const std::string text = Write("t.gpx", e, 5, kGpxTime);
    EXPECT_NE(text.find("<trkpt lat=\"0.000000\" lon=\"0.000000\">\r\n"
                        "  <time>2007-12-31T23:59:59.999Z</time>\r\n</trkpt>\r\n"
                        "<trkpt lat=\"0.000000\" lon=\"0.000000\">\r\n"
                        "  <time>2007-12-31T23:59:59.999Z</time>\r\n</trkpt>\r\n"
                        "<trkpt lat=\"0.000000\" lon=\"0.000000\">\r\n"
                        "  <time>2007-12-31T23:59:59.999Z</time>\r\n</trkpt>\r\n"
                        "<trkpt lat=\"0.000000\" lon=\"0.000000\">\r\n"
                        "  <time>2007-12-31T23:59:00.000Z</time>\r\n</trkpt>\r\n"
                        "<trkpt lat=\"0.000000\" lon=\"0.000000\">\r\n</trkpt>\r\n"),
              std::string::npos)
        << text;
}

TEST(GpxWriter, NamesAreEscapedAndInvalidBytesReplaced) {
    TrackPoint p{};
    const ExportEntry e{&p, 0};
    const std::string amp = Write("a&b<c>.gpx", &e, 1, 0);
    EXPECT_NE(amp.find("  <name>a&amp;b&lt;c&gt;</name>\r\n"), std::string::npos);
    EXPECT_TRUE(IsWellFormedXml(amp));
    const std::string accented = Write("Randonn\xC3\xA9" "e.gpx", &e, 1, 0);
    EXPECT_NE(accented.find("  <name>Randonn\xC3\xA9" "e</name>\r\n"), std::string::npos);
    const std::string latin1 = Write("Randonn\xE9" "e\x01.gpx", &e, 1, 0);
    EXPECT_NE(latin1.find("  <name>Randonn\xEF\xBF\xBD" "e\xEF\xBF\xBD</name>\r\n"), std::string::npos);
    EXPECT_TRUE(IsWellFormedXml(latin1));
    // A long name is written whole.
    const std::string long_name(250, 'n');  // as long as a file name may be
    EXPECT_NE(Write(long_name + ".gpx", &e, 1, 0).find("<name>" + long_name + "</name>"),
              std::string::npos);
}

TEST(GpxWriter, NumbersMatchTheCLibraryOnManyValues) {
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> latitude(-90, 90), longitude(-180, 180),
        wide(-20000, 20000), small(0, 60);
    const uint32_t n = 2000;
    std::vector<TrackPoint> p(n);
    std::vector<ExportEntry> e(n);
    for (uint32_t i = 0; i < n; ++i) {
        p[i] = TrackPoint{};
        p[i].latitude = latitude(random);
        p[i].longitude = i % 7 == 0 ? std::round(longitude(random) * 1e6) / 1e6 : longitude(random);
        p[i].year = static_cast<int16_t>(1990 + i % 40);
        p[i].month = static_cast<int8_t>(1 + i % 12);
        p[i].day = static_cast<int8_t>(1 + i % 28);
        p[i].hour = static_cast<int8_t>(i % 24);
        p[i].minute = static_cast<int8_t>(i % 60);
        p[i].seconds = static_cast<float>(small(random));
        if (p[i].seconds >= 59.9995f) p[i].seconds = 1.5f;
        p[i].speed = static_cast<float>(small(random) * 5);
        p[i].direction = static_cast<float>(small(random) * 6);
        p[i].satellites = static_cast<int8_t>(i % 128);
        p[i].hdop = static_cast<float>(small(random) / 3);
        p[i].vdop = static_cast<float>(small(random) / 7);
        p[i].pdop = static_cast<float>(wide(random) / 1000);
        e[i] = {&p[i], static_cast<float>(wide(random))};
    }
    const std::string text = Write("t.gpx", e.data(), n, kAllOptions);

    // The expected text through the C library's printf, line by line.
    const ferolin_test::CNumbers cNumbers;
    float minLat = static_cast<float>(p[0].latitude), maxLat = minLat;
    float minLon = static_cast<float>(p[0].longitude), maxLon = minLon;
    for (uint32_t i = 1; i < n; ++i) {
        if (p[i].latitude < minLat) minLat = static_cast<float>(p[i].latitude);
        if (p[i].latitude > maxLat) maxLat = static_cast<float>(p[i].latitude);
        if (p[i].longitude < minLon) minLon = static_cast<float>(p[i].longitude);
        if (p[i].longitude > maxLon) maxLon = static_cast<float>(p[i].longitude);
    }
    std::string expected = kHeader;
    char line[512];
    std::snprintf(line, sizeof line,
                  "<bounds minlat=\"%f\" minlon=\"%f\" maxlat=\"%f\" maxlon=\"%f\"/>\r\n", minLat,
                  minLon, maxLat, maxLon);
    expected += line;
    expected += "<trk>\r\n  <name>t</name>\r\n<trkseg>\r\n";
    for (uint32_t i = 0; i < n; ++i) {
        const TrackPoint& q = p[i];
        std::snprintf(line, sizeof line,
                      "<trkpt lat=\"%f\" lon=\"%f\">\r\n  <ele>%f</ele>\r\n"
                      "  <time>%04d-%02d-%02dT%02d:%02d:%06.3fZ</time>\r\n"
                      "  <course>%f</course>\r\n  <speed>%f</speed>\r\n  <sat>%d</sat>\r\n"
                      "  <hdop>%f</hdop>\r\n  <vdop>%f</vdop>\r\n  <pdop>%f</pdop>\r\n</trkpt>\r\n",
                      q.latitude, q.longitude, e[i].altitude, q.year, q.month, q.day, q.hour,
                      q.minute, q.seconds, q.direction, q.speed * 0.2777777777777778,
                      q.satellites, q.hdop, q.vdop, q.pdop);
        expected += line;
    }
    expected += "</trkseg>\r\n</trk>\r\n</gpx>\r\n";
    EXPECT_EQ(text, expected);
}

TEST(GpxWriter, FailsWhenTheFileCannotBeWritten) {
    Points pts;
    TempDir dir;
    EXPECT_EQ(WriteGpxTrack(dir.File("no/such/folder.gpx"), pts.e, 2, kAllOptions), 1);
    EXPECT_EQ(WriteGpxTrack("/dev/full", pts.e, 2, kAllOptions), 1);
}

TEST(GpxReader, ReadsEveryValueOfATrackPoint) {
    const Read r = ReadDoc(Gpx(
        "<trk><trkseg>\n"
        "<trkpt lat=\"48.1173\" lon=\"-11.516667\">\n"
        "  <ele> 212.5 </ele>\n  <time>2006-05-01T10:20:30Z</time>\n  <course>123.5</course>\n"
        "  <speed>1</speed>\n  <sat>300</sat>\n  <hdop>1.25</hdop>\n  <vdop>2.5</vdop>\n"
        "  <pdop>3.75</pdop>\n  <name>ignored</name>\n</trkpt>\n"
        "<trkpt lat=\"1e1\" lon=\"2\"><time>2006-05-01T10:20:30.5+02:00</time></trkpt>\n"
        "</trkseg></trk>"));
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.count, 2u);
    // 300 satellites keep their low 8 bits; the speed is in m/s; the time
    // zone offset is ignored.
    EXPECT_EQ(Fields(r.points[0]),
              Fields(WithFix(DatedPoint(48.1173, -11.516667, 2006, 5, 1, 10, 20, 30),
                             {.record = 1, .altitude = 212.5f, .speed = 3.6f, .direction = 123.5f,
                              .satellites = 44, .pdop = 3.75f, .hdop = 1.25f, .vdop = 2.5f})));
    EXPECT_EQ(Fields(r.points[1]),
              Fields(WithFix(DatedPoint(10, 2, 2006, 5, 1, 10, 20, 30.5f), {.record = 2})));
}

TEST(GpxReader, OnlyValuesInsideTrackPointsCount) {
    const Read r = ReadDoc(Gpx(
        "<wpt lat=\"1\" lon=\"2\"><ele>100</ele><time>2001-01-01T00:00:00Z</time></wpt>"
        "<ele>5</ele>"
        "<rte><rtept lat=\"3\" lon=\"4\"><ele>200</ele></rtept></rte>"
        "<trk><trkseg><trkpt lat=\"5\" lon=\"6\"></trkpt>"
        "<ele>300</ele><sat>9</sat>"
        "<trkpt lat=\"7\" lon=\"8\"><ele>400</ele></trkpt></trkseg></trk>"
        "<wpt lat=\"9\" lon=\"10\"><ele>500</ele></wpt>"));
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.count, 2u);
    EXPECT_EQ(+r.points[0].latitude, 5.0);
    EXPECT_EQ(+r.points[0].altitude, 0.0f);
    EXPECT_EQ(+r.points[0].satellites, 0);
    EXPECT_EQ(+r.points[0].year, 0);
    EXPECT_EQ(+r.points[1].latitude, 7.0);
    EXPECT_EQ(+r.points[1].altitude, 400.0f);
}

TEST(GpxReader, Gpx11ExtensionsPrefixesAndOtherCases) {
    const Read r = ReadDoc(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<g:GPX version=\"1.1\" xmlns:g=\"http://www.topografix.com/GPX/1/1\" "
        "xmlns:x=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">"
        "<g:trk><g:trkseg><g:TRKPT LAT=\"45.5\" Lon=\"6.25\" x:lat=\"99\"><g:Ele>812.25</g:Ele>"
        "<g:extensions><x:TrackPointExtension><x:speed>2.5</x:speed><x:COURSE>270</x:COURSE>"
        "</x:TrackPointExtension></g:extensions></g:TRKPT></g:trkseg></g:trk></g:GPX>");
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.count, 1u);
    EXPECT_EQ(Place(r.points[0]), Place(45.5, 6.25, 812.25f));  // x:lat is another attribute
    EXPECT_EQ(+r.points[0].speed, 9.0f);
    EXPECT_EQ(+r.points[0].direction, 270.0f);
}

TEST(GpxReader, TimeTextsScanLikeTheirPattern) {
    const auto time = [](const char* text) {
        TrackPoint p{};
        ParseGpxTime(text, p);
        const ferolin_test::CNumbers cNumbers;
        char out[64];
        std::snprintf(out, sizeof out, "%d %d %d %d %d %.3f", p.year, p.month, p.day, p.hour,
                      p.minute, p.seconds);
        return std::string(out);
    };
    EXPECT_EQ(time("2006-05-01T10:20:30Z"), "2006 5 1 10 20 30.000");
    EXPECT_EQ(time("  2006-05-01T10:20:30.125-07:00"), "2006 5 1 10 20 30.125");
    EXPECT_EQ(time("2006-05-01 10:20:30Z"), "2006 5 1 0 0 0.000");  // stops before the blank
    EXPECT_EQ(time("2006-05"), "2006 5 0 0 0 0.000");
    EXPECT_EQ(time("garbage"), "0 0 0 0 0 0.000");
    EXPECT_EQ(time("2006-05-01T10:20:nanZ"), "2006 5 1 10 20 0.000");
    EXPECT_EQ(time("2006-05-01T10:20:infZ"), "2006 5 1 10 20 0.000");
    EXPECT_EQ(time("70000-261-01T10:20:30Z"), "4464 5 1 10 20 30.000");  // 16 bits, then 8
}

TEST(GpxReader, NumbersIgnoreTheLocaleAndNonNumbersReadAsZero) {
    GermanLocale german;
    ASSERT_TRUE(german.active()) << "the de_DE.UTF-8 locale is missing (scripts/install-deps.sh)";
    const Read r = ReadDoc(Gpx("<trk><trkseg><trkpt lat=\"1.5\" lon=\"2,5\"><ele>nan</ele>"
                               "<hdop>inf</hdop><pdop>abc</pdop><vdop>0x10</vdop>"
                               "<speed>1.5</speed></trkpt></trkseg></trk>"));
    ASSERT_EQ(r.count, 1u);
    EXPECT_EQ(Place(r.points[0]), Place(1.5, 2.0, 0.0f));
    EXPECT_EQ(+r.points[0].hdop, 0.0f);
    EXPECT_EQ(+r.points[0].pdop, 0.0f);
    EXPECT_EQ(+r.points[0].vdop, 0.0f);
    EXPECT_EQ(+r.points[0].speed, 5.4f);
}

TEST(GpxReader, EmptyAndMalformedDocuments) {
    const Read none = ReadDoc(Gpx("<wpt lat=\"1\" lon=\"2\"/>"));
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.count, 0u);
    EXPECT_FALSE(none.points);
    for (const std::string& bad :
         {Gpx("<trk><trkseg><trkpt lat=\"1\" lon=\"2\"></trkseg></trk>"),
          Gpx("<trkpt lat=\"1\" lon=\"2\"/>").substr(0, 60), std::string("<gpx><trkpt/></gpx>junk"),
          Gpx("<trkpt lat=\"1\" lat=\"2\"/>"), Gpx("<trkpt lat=\"1 & 2\"/>")}) {
        const Read r = ReadDoc(bad);
        EXPECT_NE(r.status, 0) << bad;
        EXPECT_EQ(r.count, 0u) << bad;
        EXPECT_FALSE(r.points) << bad;
    }
    TrackPointArray points;
    uint32_t count = 0;
    EXPECT_NE(ReadGpxTrack("/nonexistent/track.gpx", points, count), 0);
}

TEST(GpxFormat, RoundTripUnderACommaLocaleThroughTheDriver) {
    GermanLocale german;
    ASSERT_TRUE(german.active()) << "the de_DE.UTF-8 locale is missing (scripts/install-deps.sh)";
    Points pts;
    const std::string text = Write("round.gpx", pts.e, 2, kAllOptions);
    EXPECT_EQ(text.find(','), std::string::npos);  // no decimal comma anywhere
    TempDir dir;
    const std::string path = dir.File("round.gpx");
    WriteFile(path, text);

    RecordingHost host;
    CurrentTrack track;
    ASSERT_EQ(LoadTrack(track, path, host), 0);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(track.fieldMask, 0xFFFFu);
    ASSERT_EQ(track.count, 2u);
    // The entries' altitudes; speed through m/s and back; no date on the
    // second point was written.
    const TrackPoint& a = track.points[0];
    EXPECT_FLOAT_EQ(+a.speed, 36.0f);
    EXPECT_EQ(Fields(a), Fields(WithFix(pts.p[0], {.record = 1, .altitude = 212.5f, .speed = +a.speed,
                                                   .direction = 123.5f, .satellites = 8,
                                                   .pdop = 3.75f, .hdop = 1.25f, .vdop = 2.5f})));
    EXPECT_EQ(Fields(track.points[1]), Fields(WithFix(pts.p[1], {.record = 2, .altitude = -15})));

    // Export through the table row, as the batch mode does.
    const int row = FindWriterRow("GPX");
    ASSERT_GE(row, 0);
    EXPECT_EQ(FormatTable()[row].reader, &ReadGpxTrack);
    const std::string again = dir.File("again.gpx");
    EXPECT_EQ(ExportToFile(track, again, row, host), 0);
    EXPECT_TRUE(IsWellFormedXml(ReadFile(again)));
}

TEST(GpxFormat, GpsbabelReadsTheSamePoints) {
    if (!ferolin_test::HasGpsbabel()) GTEST_SKIP() << "gpsbabel is not installed";
    std::vector<TrackPoint> p(50);
    std::vector<ExportEntry> e(50);
    for (int i = 0; i < 50; ++i) {
        p[i] = DatedPoint(-45.5 + i * 0.731, 170.25 - i * 7.125, 2007, 3, 9, 7, i, 0.25f * i);
        e[i] = {&p[i], static_cast<float>(100 + 10.5 * i)};
    }
    TempDir dir;
    const std::string path = dir.File("peer.gpx");
    ASSERT_EQ(WriteGpxTrack(path, e.data(), 50, kAllOptions), 0);
    const auto babel = ferolin_test::ReadWithGpsbabel("gpx", path, dir.File("peer.csv"));
    ASSERT_EQ(babel.size(), 50u);
    for (int i = 0; i < 50; ++i) {
        EXPECT_NEAR(+babel[i].latitude, +p[i].latitude, 1e-6) << i;
        EXPECT_NEAR(+babel[i].longitude, +p[i].longitude, 1e-6) << i;
        EXPECT_NEAR(+babel[i].altitude, +e[i].altitude, 0.05) << i;
        EXPECT_EQ(babel[i].date, "2007/03/09") << i;
        // gpsbabel leaves out a zero fraction: compare the time as a number.
        int hour = -1, minute = -1;
        double second = -1;
        const ferolin_test::CNumbers cNumbers;
        ASSERT_EQ(std::sscanf(babel[i].time.c_str(), "%d:%d:%lf", &hour, &minute, &second), 3);
        EXPECT_EQ(hour, 7) << i;
        EXPECT_EQ(minute, i) << i;
        EXPECT_NEAR(second, 0.25 * i, 1e-9) << i;
    }
}
