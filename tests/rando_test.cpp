#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "convert/driver.h"
#include "formats/format_table.h"
#include "formats/rando.h"
#include "reader_test_support.h"
#include "test_support.h"
#include "xml_test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

using Read = ferolin_test::ReadResult;

Read ReadDoc(const std::string& document) { return ReadFromFile(ReadRandoHike, "hike.rdn", document); }

std::string Stage(const std::string& inside) { return "<ETAPE>" + inside + "</ETAPE>"; }

}  // namespace

TEST(RandoWriter, WritesTheHeaderCountAndStages) {
    // The entry's altitude is written, not the point's.
    const TrackPoint p[2] = {
        WithFix(DatedPoint(45.5, 6.25, 2006, 0, 0), {.altitude = 999, .speed = 12}),
        DatedPoint(-0.0000004, -179.999999, 0, 0, 0)};
    const ExportEntry e[2] = {{&p[0], 1234.5f}, {&p[1], -3.25f}};
    FixedClock clock("1173103629");  // 5 March 2007, 14:07:09 UTC
    TempDir dir;
    const std::string path = dir.File("hike.rdn");
    ASSERT_EQ(WriteRandoHike(path, e, 2, 0), 0);
    const std::string text = ReadFile(path);
    EXPECT_EQ(text,
              "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"
              "<RANDONNEE>\r\n"
              "\t<ENTETE>\r\n"
              "\t\t<VERSION_XML>1.1</VERSION_XML>\r\n"
              "\t\t<VERSION_BASE>IHA03AA</VERSION_BASE>\r\n"
              "\t\t<DATE>05/03/2007</DATE>\r\n"
              "\t\t<HEURE>14:07:09</HEURE>\r\n"
              "\t</ENTETE>\r\n"
              "\t<INFORMATIONS>\r\n"
              "\t\t<NB_ETAPES>2</NB_ETAPES>\r\n"
              "\t</INFORMATIONS>\r\n"
              "\t<ETAPE>\r\n"
              "\t\t<POSITION>45.500000,6.250000</POSITION>\r\n"
              "\t\t<ALTITUDE>1234.500000</ALTITUDE>\r\n"
              "\t</ETAPE>\r\n"
              "\t<ETAPE>\r\n"
              "\t\t<POSITION>-0.000000,-179.999999</POSITION>\r\n"
              "\t\t<ALTITUDE>-3.250000</ALTITUDE>\r\n"
              "\t</ETAPE>\r\n"
              "</RANDONNEE>\r\n");
    EXPECT_TRUE(IsWellFormedXml(text));
    // Every option word writes the same file.
    ASSERT_EQ(WriteRandoHike(path, e, 2, kAllOptions), 0);
    EXPECT_EQ(ReadFile(path), text);
    EXPECT_EQ(WriteRandoHike(dir.File("no/such/folder.rdn"), e, 2, 0), 1);
    EXPECT_EQ(WriteRandoHike("/dev/full", e, 2, 0), 1);
}

TEST(RandoReader, StagesCountNotTheDeclaredNumber) {
    std::string doc =
        "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<RANDONNEE>"
        "<ENTETE><DATE>05/03/2007</DATE></ENTETE>"
        "<INFORMATIONS><NB_ETAPES>10</NB_ETAPES><POSITION>1,1</POSITION></INFORMATIONS>";
    doc += Stage("<POSITION>45.5,6.25</POSITION><ALTITUDE>812.5</ALTITUDE>");
    doc += Stage("<POSITION> 46.5 </POSITION>");                          // no comma, no altitude
    doc += Stage("<ALTITUDE>100</ALTITUDE><POSITION>1,2,3</POSITION>");  // first comma only
    doc += Stage("<POSITION>x,nan</POSITION><ALTITUDE>inf</ALTITUDE>");
    doc += Stage("");
    doc += Stage("<NOM>Col de la Croix</NOM><POSITION>4\r\n,\r\n5</POSITION>");
    doc += Stage("<POSITION>-7.125,-8.5</POSITION><ALTITUDE>-12</ALTITUDE>");
    doc += "<ALTITUDE>555</ALTITUDE></RANDONNEE>";
    const Read r = ReadDoc(doc);
    ASSERT_EQ(r.status, ReadStatus::kOk);
    ASSERT_EQ(r.count, 7u);
    for (uint32_t i = 0; i < 7; ++i) EXPECT_EQ(+r.points[i].record, static_cast<int32_t>(i + 1));
    EXPECT_EQ(Place(r.points[0]), Place(45.5, 6.25, 812.5f));
    EXPECT_EQ(Place(r.points[1]), Place(46.5, 0.0, 0.0f));
    EXPECT_EQ(Place(r.points[2]), Place(1.0, 2.0, 100.0f));
    EXPECT_EQ(Place(r.points[3]), Place(0.0, 0.0, 0.0f));
    EXPECT_EQ(+r.points[5].latitude, 4.0);
    EXPECT_EQ(+r.points[5].longitude, 5.0);
    EXPECT_EQ(Place(r.points[6]), Place(-7.125, -8.5, -12.0f));
}

TEST(RandoReader, EncodingsCasesAndMalformedFiles) {
    const struct {
        std::string document;
        int status;
        uint32_t count;
    } rows[] = {
        // A real hike file names its stages in French, encoded in
        // windows-1252; element names in any case.
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"
         "<randonnee><NOM>Randonn\xE9" "e du \x8C" "il \x96 Mont\xE9" "e</NOM>"
         "<etape><Position>45.5,6.25</Position><altitude>1000</altitude>"
         "<COMMENTAIRE>\xC9tape \xE0 l'h\xF4tel \x80 20</COMMENTAIRE></etape></randonnee>",
         0, 1},
        // The same text declared as UTF-8 is not valid there and is refused.
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><RANDONNEE><NOM>Randonn\xE9" "e</NOM>"
         "</RANDONNEE>", 1, 0},
        {"<RANDONNEE><ENTETE/></RANDONNEE>", 0, 0},
        {"<RANDONNEE><ETAPE></RANDONNEE>", 1, 0},
        {"<RANDONNEE>", 1, 0},
        {"", 1, 0},
        {"<?xml version=\"1.0\" encoding=\"x-unknown\"?><RANDONNEE/>", 1, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.document);
        const Read r = ReadDoc(row.document);
        EXPECT_EQ(r.status != ReadStatus::kOk, row.status != 0);
        ASSERT_EQ(r.count, row.count);
        if (row.count) {
            EXPECT_EQ(Place(r.points[0]), Place(45.5, 6.25, 1000.0f));
        } else {
            EXPECT_FALSE(r.points);
        }
    }
}

TEST(RandoFormat, RoundTripKeepsPositionsAndAltitudes) {
    std::vector<TrackPoint> p(30);
    std::vector<ExportEntry> e(30);
    for (int i = 0; i < 30; ++i) {
        p[i] = WithFix(DatedPoint(43.123456 + i * 0.015625, -1.5 + i * 0.03125, 2007, 3, 5),
                       {.record = 1000 + i, .speed = 5, .satellites = 7, .hdop = 1});
        e[i] = {&p[i], static_cast<float>(250.75 + i)};
    }
    TempDir dir;
    const std::string path = dir.File("round.rdn");
    ASSERT_EQ(WriteRandoHike(path, e.data(), 30, kAllOptions), 0);
    EXPECT_NE(ReadFile(path).find("<POSITION>43.123456,-1.500000</POSITION>"), std::string::npos);

    RecordingHost host;
    CurrentTrack track;
    ASSERT_EQ(LoadTrack(track, path, host), 0);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(track.fieldMask, 0x000Eu);
    ASSERT_EQ(track.count, 30u);
    for (int i = 0; i < 30; ++i) {
        const TrackPoint& q = track.points[i];
        EXPECT_NEAR(+q.latitude, +p[i].latitude, 5e-7);
        EXPECT_NEAR(+q.longitude, +p[i].longitude, 5e-7);
        // Nothing else travels.
        EXPECT_EQ(Fields(q), Fields(WithFix(DatedPoint(+q.latitude, +q.longitude, 0, 0, 0),
                                            {.record = i + 1, .altitude = e[i].altitude})));
    }
}
