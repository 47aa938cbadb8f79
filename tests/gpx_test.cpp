#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "convert/driver.h"
#include "formats/format_table.h"
#include "formats/gpx.h"
#include "reader_test_support.h"
#include "test_support.h"
#include "xml_test_support.h"

using namespace ferolin;
using namespace ferolin_test;

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
    ASSERT_EQ(r.status, ReadStatus::kOk);
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

TEST(GpxReader, WhichPointsADocumentHolds) {
    const auto at = [](double latitude, double longitude, Fix fix = {}) {
        return Fields(WithFix(DatedPoint(latitude, longitude, 0, 0, 0), fix));
    };
    using Points = std::vector<decltype(at(0, 0))>;
    const struct {
        std::string document;
        int status;
        Points points;
    } rows[] = {
        // Only values inside track points count.
        {Gpx("<wpt lat=\"1\" lon=\"2\"><ele>100</ele><time>2001-01-01T00:00:00Z</time></wpt>"
             "<ele>5</ele><rte><rtept lat=\"3\" lon=\"4\"><ele>200</ele></rtept></rte>"
             "<trk><trkseg><trkpt lat=\"5\" lon=\"6\"></trkpt><ele>300</ele><sat>9</sat>"
             "<trkpt lat=\"7\" lon=\"8\"><ele>400</ele></trkpt></trkseg></trk>"
             "<wpt lat=\"9\" lon=\"10\"><ele>500</ele></wpt>"),
         0, {at(5, 6, {.record = 1}), at(7, 8, {.record = 2, .altitude = 400})}},
        // GPX 1.1, prefixes, other cases, extensions; x:lat is another attribute.
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<g:GPX version=\"1.1\" xmlns:g=\"http://www.topografix.com/GPX/1/1\" "
         "xmlns:x=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">"
         "<g:trk><g:trkseg><g:TRKPT LAT=\"45.5\" Lon=\"6.25\" x:lat=\"99\"><g:Ele>812.25</g:Ele>"
         "<g:extensions><x:TrackPointExtension><x:speed>2.5</x:speed><x:COURSE>270</x:COURSE>"
         "</x:TrackPointExtension></g:extensions></g:TRKPT></g:trkseg></g:trk></g:GPX>",
         0, {at(45.5, 6.25, {.record = 1, .altitude = 812.25f, .speed = 9, .direction = 270})}},
        // Decimal commas and non-numbers read as far as they are numbers.
        {Gpx("<trk><trkseg><trkpt lat=\"1.5\" lon=\"2,5\"><ele>nan</ele><hdop>inf</hdop>"
             "<pdop>abc</pdop><vdop>0x10</vdop></trkpt></trkseg></trk>"),
         0, {at(1.5, 2, {.record = 1})}},
        {Gpx("<wpt lat=\"1\" lon=\"2\"/>"), 0, {}},
        {Gpx("<trk><trkseg><trkpt lat=\"1\" lon=\"2\"></trkseg></trk>"), 1, {}},
        {Gpx("<trkpt lat=\"1\" lon=\"2\"/>").substr(0, 60), 1, {}},
        {"<gpx><trkpt/></gpx>junk", 1, {}},
        {Gpx("<trkpt lat=\"1\" lat=\"2\"/>"), 1, {}},
        {Gpx("<trkpt lat=\"1 & 2\"/>"), 1, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.document);
        const Read r = ReadDoc(row.document);
        EXPECT_EQ(r.status != ReadStatus::kOk, row.status != 0);
        Points points;
        for (uint32_t i = 0; i < r.count; ++i) points.push_back(Fields(r.points[i]));
        EXPECT_EQ(points, row.points);
        if (row.points.empty()) {
            EXPECT_FALSE(r.points);
        }
    }
    TrackPointArray points;
    uint32_t count = 0;
    EXPECT_NE(ReadGpxTrack("/nonexistent/track.gpx", points, count), ReadStatus::kOk);
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

TEST(GpxFormat, RoundTripThroughTheDriver) {
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
    EXPECT_EQ(FormatTable()[row].reader, static_cast<ReaderFn>(&ReadGpxTrack));
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
