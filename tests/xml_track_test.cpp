#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "core/text_format.h"
#include "formats/xml_track.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

// Writes every event it sees into a log, and makes one record of each <p>
// element whose text is its `v` attribute's value.
std::string* g_log = nullptr;

class RecordingHandler : public TrackSaxHandler {
public:
    void StartElement(std::string_view name, const XmlAttributes& attributes) override {
        *g_log += "<" + std::string(name);
        for (std::size_t i = 0; i < attributes.Count(); ++i) {
            *g_log += " " + std::string(attributes.Prefix(i)) + "|" +
                      std::string(attributes.LocalName(i)) + "=" + std::string(attributes.Value(i));
            if (attributes.QualifiedNameIs(i, "x:Lat")) *g_log += "(x:lat)";
            if (attributes.QualifiedNameIs(i, "lat")) *g_log += "(lat)";
        }
        *g_log += ">";
        if (XmlNameIs(name, "p")) {
            TrackPoint* slot = Slot();
            ASSERT_NE(slot, nullptr);
            slot->record = static_cast<int32_t>(Index() + 1);
            for (std::size_t i = 0; i < attributes.Count(); ++i)
                if (attributes.QualifiedNameIs(i, "v")) slot->latitude = ParseReal(attributes.Value(i));
        }
        if (XmlNameIs(name, "text")) state_ = 1;
    }
    void EndElement(std::string_view name) override {
        *g_log += "</" + std::string(name) + ">";
        if (XmlNameIs(name, "p")) NextRecord();
        if (XmlNameIs(name, "text")) state_ = 0;
    }
    bool WantsText() const override { return state_ == 1; }
    void Characters(std::string_view text) override { *g_log += "[" + std::string(text) + "]"; }
};

std::unique_ptr<TrackSaxHandler> MakeRecordingHandler() {
    return std::make_unique<RecordingHandler>();
}

struct Result {
    ReadStatus status = ReadStatus::kCannotOpen;  // until read
    TrackPointArray points;
    uint32_t count = 99;
    std::string log;
};

Result ReadDocument(const std::string& document) {
    Result r;
    g_log = &r.log;
    TempDir dir;
    const std::string path = dir.File("doc.xml");
    WriteFile(path, document);
    r.status = ReadXmlTrack(path, MakeRecordingHandler, r.points, r.count);
    g_log = nullptr;
    return r;
}

}  // namespace

TEST(XmlTrack, HandlersSeeNamesAttributesAndTextAsOneRun) {
    const struct {
        std::string document, log;
    } rows[] = {
        // Local names, qualified attribute names and values.
        {"<?xml version=\"1.0\"?>\n"
         "<a:Root xmlns:a=\"urn:a\" xmlns=\"urn:default\" xmlns:x=\"urn:x\">"
         "<Child LAT=\"1\" x:lat=\"2\" v=\"&amp;&lt;\"/><other xmlns=\"\"/></a:Root>",
         "<Root><Child |LAT=1(lat) x|lat=2(x:lat) |v=&<></Child><other></other></Root>"},
        // Entity references, character references, CDATA sections and
        // comments each make the parser split the text: one run per element.
        {"<r><text>1,2&amp;3&#44;4<![CDATA[<5>]]>6<!-- c -->7\r\n8</text>"
         "<skip>not wanted</skip><text>a<b/>c</text></r>",
         "<r><text>[1,2&3,4<5>67\n8]</text><skip></skip><text>[a]<b></b>[c]</text></r>"},
        // Windows-1252 reads as UTF-8: "Randonnée à l'Œil €", with the euro
        // sign and the ligature from the 0x80-0x9F range.
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>"
         "<r><text>Randonn\xE9" "e \xE0 l'\x8C" "il \x80</text></r>",
         "<r><text>[Randonn\xC3\xA9" "e \xC3\xA0 l'\xC5\x92" "il \xE2\x82\xAC]</text></r>"},
        // The name in upper case; bytes the code page leaves unassigned read
        // as the C1 control of the same value.
        {"<?xml version=\"1.0\" encoding=\"WINDOWS-1252\"?><r><text>\x81\xFF</text></r>",
         "<r><text>[\xC2\x81\xC3\xBF]</text></r>"},
    };
    for (const auto& row : rows) {
        const Result r = ReadDocument(row.document);
        EXPECT_EQ(r.status, ReadStatus::kOk) << row.document;
        EXPECT_EQ(r.count, 0u);
        EXPECT_FALSE(r.points);
        EXPECT_EQ(r.log, row.log);
    }
}

TEST(XmlTrack, TextLongerThanTheReadChunksIsJoinedToo) {
    std::string digits;
    for (int i = 0; i < 200000; ++i) digits += static_cast<char>('0' + i % 10);
    // 600 000 characters cross several read chunks of the file.
    const Result longer = ReadDocument("<r><text>" + digits + digits + digits + "</text></r>");
    EXPECT_EQ(longer.status, ReadStatus::kOk);
    EXPECT_EQ(longer.log, "<r><text>[" + digits + digits + digits + "]</text></r>");
}

TEST(XmlTrack, RecordsGrowPastTheFirstAllocationAndUnwrittenSlotsStayZero) {
    std::string doc = "<r>";
    for (int i = 0; i < 5000; ++i) doc += "<p v=\"" + std::to_string(i) + ".5\"/>";
    // Nested records: the inner one fills slot 5000, the outer one completes
    // record 5001, whose slot nobody wrote.
    doc += "<p v=\"7\"><p v=\"8\"/></p></r>";
    const Result r = ReadDocument(doc);
    ASSERT_EQ(r.status, ReadStatus::kOk);
    ASSERT_EQ(r.count, 5002u);
    for (int i = 0; i < 5000; ++i) {
        ASSERT_EQ(+r.points[i].record, i + 1);
        ASSERT_EQ(+r.points[i].latitude, i + 0.5);
    }
    EXPECT_EQ(+r.points[5000].record, 5001);
    EXPECT_EQ(+r.points[5000].latitude, 8.0);
    const TrackPoint zero{};
    EXPECT_EQ(std::memcmp(&r.points[5001], &zero, sizeof zero), 0);
}

TEST(XmlTrack, FailuresGiveNonZeroStatusAndNoTrack) {
    for (const char* bad : {"", "<r>", "<r></s>", "<r/><r/>", "<r a='1' a='2'/>", "no xml",
                            "<r>&undefined;</r>", "<a:r/>",
                            "<?xml version=\"1.0\" encoding=\"koi8-r\"?><r/>",
                            "<r><p v='1'/><p v='2'/>\x01</r>"}) {
        const Result r = ReadDocument(bad);
        EXPECT_EQ(r.status, ReadStatus::kXmlMalformed) << bad;
        EXPECT_EQ(r.count, 0u) << bad;
        EXPECT_FALSE(r.points) << bad;
    }

    TempDir dir;
    TrackPointArray points;
    uint32_t count = 7;
    std::string log;
    g_log = &log;
    EXPECT_EQ(ReadXmlTrack(dir.File("missing.xml"), MakeRecordingHandler, points, count),
              ReadStatus::kXmlUnreadable);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(ReadXmlTrack(dir.path(), MakeRecordingHandler, points, count), ReadStatus::kXmlUnreadable);
    // A FIFO is refused at once instead of waiting for a writer.
    const std::string fifo = dir.File("pipe.xml");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadXmlTrack(fifo, MakeRecordingHandler, points, count), ReadStatus::kXmlUnreadable);
    EXPECT_EQ(ReadXmlTrack("/dev/null", MakeRecordingHandler, points, count), ReadStatus::kXmlUnreadable);
    EXPECT_TRUE(log.empty());
    g_log = nullptr;
}

TEST(XmlTrack, TwoReadsInARowAreIndependent) {
    const Result a = ReadDocument("<r><p v='1'/></r>");
    const Result b = ReadDocument("<r><p v='2'/><p v='3'/></r>");
    ASSERT_EQ(a.count, 1u);
    ASSERT_EQ(b.count, 2u);
    EXPECT_EQ(+a.points[0].latitude, 1.0);
    EXPECT_EQ(+b.points[0].record, 1);
    EXPECT_EQ(+b.points[1].latitude, 3.0);
}
