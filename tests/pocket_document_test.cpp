// The handheld document, its command line and its number and line helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "pocket/ppc_document.h"
#include "pocket/ppc_io.h"
#include "pocket_test_support.h"
#include "test_support.h"

using ferolin_test::FileExists;
using ferolin_test::ReadFile;
using ferolin_test::TempDir;
using ferolin_test::WriteFile;

namespace {

const std::string kNmea =
    "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
    "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n"
    "$GPGGA,123520,4807.038,N,01131.000,E,1,08,0.9,0.0,M,46.9,M,,*47\r\n"
    "$GPRMC,123520,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";

TEST(PocketDocument, ExtensionRuleAndTrackNames) {
    for (const char* path : {"/data/walk.nmea", "/data/walk.nme", "/card/WALK.NMEA", "walk.Nme"})
        EXPECT_TRUE(PPCIsNmeaPath(path)) << path;
    // A "." in a folder name of an extension-less file: the datalog reader.
    for (const char* path : {"/data/walk.log", "/data/walk.txt", "/data/walk", "/data/walk.nmea.log",
                             "/data/walk.nmeax", "/data/trip.nmea/walk"})
        EXPECT_FALSE(PPCIsNmeaPath(path)) << path;

    EXPECT_EQ(PPCTrackNameForTarget("/out/walk.gpx"), "walk");
    EXPECT_EQ(PPCTrackNameForTarget("walk.plt"), "walk");
    EXPECT_EQ(PPCTrackNameForTarget("C:\\tracks\\day.one.plt"), "day.one");
    EXPECT_EQ(PPCTrackNameForTarget("/out.d/walk"), "");
    EXPECT_EQ(PPCTrackNameForTarget("/out/Z\xC3\xBCrich.gpx"), "Z\xC3\xBCrich");
}

TEST(PocketDocument, OpenKeepsPathAndNameUntilAFileIsAccepted) {
    TempDir dir;
    std::vector<PPCMessage> messages;
    const PPCMessageSink report = [&](PPCMessage m) { messages.push_back(m); };
    CPPCDoc doc;
    EXPECT_EQ(doc.Count(), 0u);
    EXPECT_EQ(doc.Path(), "");

    const std::string log = dir.File("day.one.log");
    ASSERT_TRUE(WriteFile(log, pocket_test::ThreePointDatalog()));
    ASSERT_TRUE(doc.OpenDocument(log, report));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(doc.Count(), 3u);
    EXPECT_EQ(doc.Path(), log);
    EXPECT_EQ(doc.Name(), "day.one");
    EXPECT_EQ(doc.Points()[1].record, 6);

    // Upper-case NMEA extension: read as NMEA.
    const std::string nmea = dir.File("CARD.NME");
    ASSERT_TRUE(WriteFile(nmea, kNmea));
    ASSERT_TRUE(doc.OpenDocument(nmea, report));
    EXPECT_EQ(doc.Count(), 2u);
    EXPECT_EQ(doc.Name(), "CARD");
    EXPECT_EQ(doc.Points()[0].satellites, 8);

    // A file that cannot be opened: no points, the old path and name stay.
    EXPECT_FALSE(doc.OpenDocument(dir.File("missing.log"), report));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], PPCMessage::kCannotOpen);
    EXPECT_EQ(doc.Count(), 0u);
    EXPECT_EQ(doc.Points(), nullptr);
    EXPECT_EQ(doc.Path(), nmea);
    EXPECT_EQ(doc.Name(), "CARD");

    // A datalog without a non-zero count: no track point.
    const std::string empty = dir.File("empty.txt");
    ASSERT_TRUE(WriteFile(empty, "About total Numbers: 0\r\n"));
    ASSERT_TRUE(doc.OpenDocument(log, report));
    EXPECT_FALSE(doc.OpenDocument(empty, report));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1], PPCMessage::kNoTrackPoint);
    EXPECT_EQ(doc.Count(), 0u);
    EXPECT_EQ(doc.Path(), log);

    // A datalog read as NMEA finds no RMC.
    const std::string wrong = dir.File("wrong.nmea");
    ASSERT_TRUE(WriteFile(wrong, pocket_test::ThreePointDatalog()));
    EXPECT_FALSE(doc.OpenDocument(wrong, report));
    EXPECT_EQ(messages.back(), PPCMessage::kNoTrackPoint);

    doc.CloseDocument();
    EXPECT_EQ(doc.Path(), "");
    EXPECT_EQ(doc.Name(), "");
    EXPECT_EQ(doc.Count(), 0u);
}

TEST(PocketDocument, ExportTakesTheNameFromTheTarget) {
    TempDir dir;
    std::vector<PPCMessage> messages;
    const PPCMessageSink report = [&](PPCMessage m) { messages.push_back(m); };
    CPPCDoc doc;
    const std::string log = dir.File("day.log");
    ASSERT_TRUE(WriteFile(log, pocket_test::ThreePointDatalog()));
    ASSERT_TRUE(doc.OpenDocument(log, report));

    EXPECT_EQ(doc.ExportTrack(dir.File("walk.plt"), kPPCPlt, false, report), 1);
    const std::string plt = ReadFile(dir.File("walk.plt"));
    EXPECT_NE(plt.find("\r\n0, 2, 65280, walk, 1, 0, 0, 65280\r\n 3\r\n"), std::string::npos);
    EXPECT_EQ(plt.find("day"), std::string::npos);
    EXPECT_EQ(doc.ExportTrack(dir.File("walk.gpx"), kPPCGpx, true, report), 1);
    EXPECT_EQ(ReadFile(dir.File("walk.gpx")).find("<ele>0.000000</ele>"), std::string::npos);  // flag on
    EXPECT_TRUE(messages.empty());

    // An unknown format code writes nothing and says so by its result.
    EXPECT_EQ(doc.ExportTrack(dir.File("walk.csv"), 5, false, report), 0);
    EXPECT_EQ(doc.ExportTrack(dir.File("walk.csv"), 0, false, report), 0);
    EXPECT_FALSE(FileExists(dir.File("walk.csv")));
    EXPECT_TRUE(messages.empty());

    // A writer failure.
    EXPECT_EQ(doc.ExportTrack(dir.File("none/walk.txt"), kPPCText, false, report), 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], PPCMessage::kCannotWrite);

    // Exporting the empty document writes the headers.
    CPPCDoc empty;
    EXPECT_EQ(empty.ExportTrack(dir.File("empty.plt"), kPPCPlt, true, report), 1);
    EXPECT_NE(ReadFile(dir.File("empty.plt")).find(", 65280\r\n 0\r\n"), std::string::npos);
}

struct Parsed {
    PPCCommandLine line;
    std::string out;
    std::string err;
};

Parsed Parse(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    Parsed r{PPCParseCommandLine(args, out, err), "", ""};
    r.out = out.str();
    r.err = err.str();
    return r;
}

TEST(PocketCommandLine, ModesAndUsageErrors) {
    struct Row {
        std::vector<std::string> args;
        PPCCommandLine::Mode mode;
        std::string file, output;
        int format;
        bool allPoints;
    };
    const Row rows[] = {
        {{}, PPCCommandLine::kWindow, "", "", 0, false},
        {{"walk.log"}, PPCCommandLine::kWindow, "walk.log", "", 0, false},
        {{"walk.log", "-o", "out/walk.GPX"}, PPCCommandLine::kHeadless, "walk.log", "out/walk.GPX", kPPCGpx, false},
        {{"-o", "w.trk", "--all-points", "walk.nmea"}, PPCCommandLine::kHeadless, "walk.nmea", "w.trk", kPPCPcx5, true},
        {{"a", "-o", "b.txt"}, PPCCommandLine::kHeadless, "a", "b.txt", kPPCText, false},
        // After "--" every word is a file: a name may start with "-".
        {{"-o", "b.plt", "--", "-odd.log"}, PPCCommandLine::kHeadless, "-odd.log", "b.plt", kPPCPlt, false},
    };
    for (const Row& row : rows) {
        const PPCCommandLine line = Parse(row.args).line;
        SCOPED_TRACE(row.args.empty() ? std::string("(none)") : row.args.back());
        EXPECT_EQ(std::tuple(line.mode, line.file, line.output, line.format, line.allPoints),
                  std::tuple(row.mode, row.file, row.output, row.format, row.allPoints));
    }

    Parsed r = Parse({"--version"});
    EXPECT_EQ(r.line.mode, PPCCommandLine::kFinished);
    EXPECT_EQ(r.line.status, 0);
    EXPECT_NE(r.out.find("1.2"), std::string::npos);
    r = Parse({"walk.log", "--help"});
    EXPECT_EQ(r.line.status, 0);
    EXPECT_NE(r.out.find("ferolix FILE -o OUT [--all-points]"), std::string::npos);

    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"-o"}, {"-o", "x.txt"}, {"a", "b"}, {"--all-points"},
                                               {"a", "--all-points"}, {"a", "-x"},
                                               {"a", "-o", "b.txt", "-o", "c.txt"},
                                               {"--", "a", "-o", "b.txt"}}) {
        r = Parse(bad);
        EXPECT_EQ(r.line.mode, PPCCommandLine::kFinished);
        EXPECT_EQ(r.line.status, 2);
        EXPECT_NE(r.err.find("usage: ferolix"), std::string::npos);
    }
    r = Parse({"a.log", "-o", "b.csv"});
    EXPECT_EQ(r.line.status, 2);
    EXPECT_EQ(r.err, "unknown output format: csv\n");
    r = Parse({"a.log", "-o", "out.d/b"});
    EXPECT_EQ(r.line.status, 2);
    EXPECT_EQ(r.err, "unknown output format: \n");
}

TEST(PocketCommandLine, HeadlessExportMessagesAndStatus) {
    TempDir dir;
    const std::string log = dir.File("day.log");
    ASSERT_TRUE(WriteFile(log, pocket_test::ThreePointDatalog()));
    auto run = [&](const std::vector<std::string>& args, std::string& err) {
        std::ostringstream out, errors;
        const PPCCommandLine line = PPCParseCommandLine(args, out, errors);
        EXPECT_EQ(line.mode, PPCCommandLine::kHeadless);
        const int status = PPCRunHeadless(line, errors);
        err = errors.str();
        return status;
    };
    std::string err;
    // The flag is on unless --all-points: the point at altitude 0 is left out.
    EXPECT_EQ(run({log, "-o", dir.File("walk.trk")}, err), 0);
    EXPECT_EQ(err, "");
    const std::string some = ReadFile(dir.File("walk.trk"));
    EXPECT_EQ(run({log, "-o", dir.File("walk.trk"), "--all-points"}, err), 0);
    const std::string all = ReadFile(dir.File("walk.trk"));
    EXPECT_NE(all.find("T  S12.3456780 E123.4567890 05-MAR-05 08:07:09 00000\r\n"), std::string::npos);
    EXPECT_EQ(some.find("S12.3456780"), std::string::npos);
    EXPECT_EQ(all.size() - some.size(), std::string("T  S12.3456780 E123.4567890 05-MAR-05 08:07:09 00000\r\n").size());

    EXPECT_EQ(run({dir.File("none.log"), "-o", dir.File("x.txt")}, err), 1);
    EXPECT_EQ(err, dir.File("none.log") + ": Cannot open the file.\n");
    EXPECT_FALSE(FileExists(dir.File("x.txt")));
    ASSERT_TRUE(WriteFile(dir.File("empty.nmea"), "$GPGGA,1,2,3\r\n"));
    EXPECT_EQ(run({dir.File("empty.nmea"), "-o", dir.File("x.txt")}, err), 1);
    EXPECT_EQ(err, dir.File("empty.nmea") + ": No track point in the file.\n");
    EXPECT_EQ(run({log, "-o", dir.File("no/x.gpx")}, err), 1);
    EXPECT_EQ(err, dir.File("no/x.gpx") + ": Cannot write to the file.\n");
}

TEST(PocketNumbers, FormattingMatchesTheCLibraryInTheCLocale) {
    // The C library in the C locale is the reference for every conversion
    // (the suite also runs under the German locale).
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    const double values[] = {0.0, -0.0, 0.5, 1.5, 2.5, -5.5, 9.9999995, 45.5, -3.25, 123.456789,
                             0.138888888, 1e-7, 5e-324, 1e15, 123456789.987654321, 1e300,
                             -1e308, 328.08, 38416.338263888};
    const int precisions[] = {0, 3, 6, 7};
    const int widths[] = {0, 5, 6, 11, 12, 13};
    for (double v : values)
        for (int p : precisions)
            for (int w : widths)
                for (bool plus : {false, true}) {
                    char format[32];
                    std::snprintf(format, sizeof format, plus ? "%%+0%d.%df" : "%%0%d.%df", w, p);
                    std::vector<char> expected(400);
                    std::snprintf(expected.data(), expected.size(), format, v);
                    std::string got;
                    ppc::AppendFixed(got, v, p, w, plus);
                    EXPECT_EQ(got, std::string(expected.data())) << format << " " << v;
                }
    const double inf = std::numeric_limits<double>::infinity();
    std::string s;
    ppc::AppendFixed(s, inf, 7, 11, true);
    EXPECT_EQ(s, "       +inf");
    s.clear();
    ppc::AppendFixed(s, -inf, 6);
    EXPECT_EQ(s, "-inf");
    s.clear();
    ppc::AppendFixed(s, std::nan(""), 6, 13);
    EXPECT_EQ(s, "          nan");

    for (int64_t v : {int64_t{0}, int64_t{7}, int64_t{-7}, int64_t{12345}, int64_t{-2147483648LL},
                      int64_t{4294967295LL}, INT64_MIN}) {
        for (int w : {0, 2, 4, 5}) {
            char expected[40];
            std::snprintf(expected, sizeof expected, "%0*lld", w, static_cast<long long>(v));
            std::string got;
            ppc::AppendInt(got, v, w);
            EXPECT_EQ(got, expected);
        }
    }
    std::setlocale(LC_ALL, previous.c_str());
}

TEST(PocketNumbers, ParsingFollowsAtoiAndAtof) {
    const std::pair<const char*, int32_t> ints[] = {
        {"", 0}, {"  42abc", 42}, {"-17", -17}, {"+8", 8}, {"x1", 0},
        {"99999999999999999999", INT32_MAX}, {"-99999999999999999999", INT32_MIN}};
    for (const auto& [text, value] : ints) EXPECT_EQ(ppc::ParseInt(text), value) << text;
    EXPECT_EQ(ppc::ParseInt64("-9223372036854775808"), INT64_MIN);
    // Never the locale's comma.
    const std::pair<const char*, double> reals[] = {
        {"", 0.0},   {" 1.25 m", 1.25}, {"-.5", -0.5}, {"+2e3", 2000.0},
        {"1e", 1.0}, {"0x10", 16.0},    {"0x", 0.0},   {"1,5", 1.0}};
    for (const auto& [text, value] : reals) EXPECT_EQ(ppc::ParseReal(text), value) << text;
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    EXPECT_TRUE(std::isinf(ppc::ParseReal("1e999")));
    EXPECT_EQ(ppc::ParseReal("-1e-999"), 0.0);
    EXPECT_TRUE(std::isinf(ppc::ParseReal("-inf")));
    EXPECT_TRUE(std::isnan(ppc::ParseReal("nan")));
    // The same under the comma locale.
    ASSERT_TRUE(pocket_test::UseCommaLocale()) << "the locale de_DE.UTF-8 is missing";
    EXPECT_EQ(ppc::ParseReal("1.5"), 1.5);
    EXPECT_EQ(ppc::ParseReal("1,5"), 1.0);
    std::string s;
    ppc::AppendFixed(s, 1.5, 6);
    EXPECT_EQ(s, "1.500000");
    std::setlocale(LC_ALL, previous.c_str());
}

TEST(PocketLines, PiecesAsFgetsHandsThemOut) {
    auto pieces = [](std::string_view text, std::size_t max) {
        ppc::LineReader lines(max);
        lines.OpenMemory(text);
        std::vector<std::string> out;
        std::string_view piece;
        bool complete = false;
        while (lines.Next(piece, complete)) out.push_back(std::string(piece) + (complete ? "|" : "~"));
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(pieces("ab\r\ncd\nef", 5), (V{"ab|", "cd|", "ef|"}));
    // Four characters and the line end fill a 5-character piece; five
    // characters come alone and the line end follows as an empty line.
    EXPECT_EQ(pieces("abcd\r\nabcde\r\nabcdefgh\n", 5),
              (V{"abcd|", "abcde|", "|", "abcde~", "fgh|"}));
    // A lone carriage return is a character; a NUL ends the piece.
    EXPECT_EQ(pieces(std::string_view("a\rb\nx\0yz\n", 9), 5), (V{"a\rb|", "x~"}));
    EXPECT_EQ(pieces(std::string_view("x\0yz\n", 5), 5), (V{"x~"}));
    EXPECT_EQ(pieces("", 5), V{});
    // Long input across the reader's blocks.
    std::string big;
    for (int i = 0; i < 30000; ++i) big += "line " + std::to_string(i) + "\r\n";
    const V all = pieces(big, 99);
    ASSERT_EQ(all.size(), 30000u);
    EXPECT_EQ(all[29999], "line 29999|");
}

}  // namespace
