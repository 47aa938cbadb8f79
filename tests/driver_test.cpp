#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "core/driver.h"
#include "core/strings.h"
#include "formats/bluegps.h"
#include "formats/text_table.h"
#include "test_support.h"

using namespace ferolin;
using ferolin_test::FileExists;
using ferolin_test::ReadFile;
using ferolin_test::TempDir;
using ferolin_test::WriteFile;

namespace {

struct Message {
    std::string path;
    std::string text;
    MessageIcon icon;
};

// Records what the driver tells its user.
class RecordingHost : public DriverHost {
public:
    void ShowMessage(const std::string& path, int id, MessageIcon icon) override {
        messages.push_back({path, LoadString(id), icon});
    }
    void BeginWork() override { ++depth; }
    void EndWork() override { --depth; }
    void TrackLoaded(const CurrentTrack& track) override { loaded.push_back(track.displayName); }
    void ShowNoPoint() override { ++noPoint; }
    void BuildCriteria(uint32_t mask, SelectionCriteria& c) override {
        c = SelectionCriteria{};
        SetCriteriaRules(c, rules, mask);
    }
    uint32_t WriterOptions(const FormatEntry&) override { return options; }

    std::vector<Message> messages;
    std::vector<std::string> loaded;
    std::vector<const ExclusionRule*> rules;
    uint32_t options = kAllOptions;
    int noPoint = 0;
    int depth = 0;
};

std::string Datalog(int records) {
    std::string text = "About total Numbers: " + std::to_string(records) +
                       "\n=====================\n";
    for (int i = 1; i <= records; ++i)
        text += "Record: " + std::to_string(i) + "\nAltitude: " + std::to_string(100 * i) +
                "\nLatitude: 45.5\n=====================\n";
    return text;
}

int ReadNothing(const std::string&, TrackPointArray& points, uint32_t& count) {
    points.reset();
    count = 0;
    return 0;
}

}  // namespace

TEST(LoadTrack, ExtensionsCompareWithoutCase) {
    TempDir dir;
    RecordingHost host;
    CurrentTrack track;
    const std::string path = dir.File("TRACK.LOG");
    WriteFile(path, Datalog(3));
    ASSERT_EQ(LoadTrack(track, path, host), 0);
    EXPECT_EQ(track.count, 3u);
    EXPECT_EQ(+track.points[2].record, 3);
    EXPECT_EQ(track.fieldMask, 0xFFFFu);
    EXPECT_EQ(track.displayName, path);
    EXPECT_EQ(track.fileTitle, "TRACK");
    EXPECT_EQ(host.loaded, std::vector<std::string>{path});
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.depth, 0);
}

TEST(LoadTrack, UnknownOrUnreadableFilesCannotBeOpened) {
    TempDir dir;
    const std::string noDot = dir.File("track");
    WriteFile(noDot, Datalog(1));
    const std::string notALog = dir.File("notes.txt");
    WriteFile(notALog, "shopping list\n");
    for (const std::string& path : {noDot, notALog, dir.File("absent.log"), dir.File("x.csv")}) {
        RecordingHost host;
        CurrentTrack track;
        EXPECT_EQ(LoadTrack(track, path, host), 1) << path;
        ASSERT_EQ(host.messages.size(), 1u) << path;
        EXPECT_EQ(host.messages[0].text, "Cannot open the file.");
        EXPECT_EQ(host.messages[0].path, path);
        EXPECT_EQ(host.messages[0].icon, MessageIcon::kStop);
        EXPECT_EQ(host.noPoint, 1);
        EXPECT_TRUE(host.loaded.empty());
        EXPECT_EQ(host.depth, 0);
    }
}

TEST(LoadTrack, AFailingReaderFallsBackToTheNextRowOfItsExtension) {
    TempDir dir;
    const std::string path = dir.File("walk.dat");
    WriteFile(path, "not a datalog\n");
    const FormatEntry table[] = {
        {"dat", 0, ReadBlueGpsLog, nullptr, 0xFFFF},
        {"xyz", 0, ReadNothing, nullptr, 0x1},
        {"dat", 0, nullptr, nullptr, 0x2},       // no reader: skipped
        {"DAT", 0, ReadNothing, nullptr, 0x000E},  // the fall-back
        {"dat", 0, ReadNothing, nullptr, 0x4},     // never reached
    };
    RecordingHost host;
    CurrentTrack track;
    EXPECT_EQ(LoadTrack(track, path, host, table), 1);
    // The fall-back read zero points: that is not "Cannot open the file.".
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "No track point in the file.");
    EXPECT_EQ(host.messages[0].icon, MessageIcon::kExclamation);
    EXPECT_EQ(track.fieldMask, 0x000Eu);
    EXPECT_EQ(host.noPoint, 1);
    EXPECT_TRUE(host.loaded.empty());
}

TEST(LoadTrack, TheLoggerRowNamesItsTrackDownloadedFromGps) {
    TempDir dir;
    const std::string path = dir.File("ttyUSB0.rbt");
    WriteFile(path, Datalog(2));
    const FormatEntry table[] = {{"rbt", 0, ReadBlueGpsLog, nullptr, 0xFFFF}};
    RecordingHost host;
    CurrentTrack track;
    ASSERT_EQ(LoadTrack(track, path, host, table), 0);
    EXPECT_EQ(track.displayName, "Downloaded from GPS");
    EXPECT_EQ(track.fileTitle, "Downloaded from GPS");
}

namespace {

// A datalog of three (or two) points, loaded as the current track.
class ExportToFile : public ::testing::Test {
protected:
    void Load(int records) {
        WriteFile(dir.File("in.log"), Datalog(records));
        ASSERT_EQ(LoadTrack(track, dir.File("in.log"), host), 0);
    }
    TempDir dir;
    RecordingHost host;
    CurrentTrack track;
};

}  // namespace

TEST_F(ExportToFile, WritesTheSelectionWithTheRowsOptionWord) {
    Load(3);
    const ExclusionRule high{kDataAltitude, kCompareGreater, 150.0};
    host.rules = {&high};
    host.options = 0x8000 | 0x8;
    const std::string output = dir.File("out.txt");
    EXPECT_EQ(ferolin::ExportToFile(track, output, FindWriterRow("txt"), host), 0);
    EXPECT_EQ(ReadFile(output),
              "Generated by Ferolin 1.51\r\n\r\nRecord: \tAltitude(Meters): \t\r\n"
              "00001\t100.000000\t\r\n");
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.depth, 0);
}

TEST_F(ExportToFile, NothingSelectedWritesNoFile) {
    Load(2);
    const ExclusionRule all{kDataLatitude, kCompareEqual, 45.5};
    host.rules = {&all};
    const std::string output = dir.File("out.txt");
    EXPECT_EQ(ferolin::ExportToFile(track, output, FindWriterRow("txt"), host), 0);
    EXPECT_FALSE(FileExists(output));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "No track point to write.");
    EXPECT_EQ(host.messages[0].icon, MessageIcon::kStop);
}

TEST_F(ExportToFile, AFailedWriterIsReported) {
    Load(2);
    EXPECT_EQ(ferolin::ExportToFile(track, dir.File("no/such/dir/out.csv"), FindWriterRow("CSV"), host), 1);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Cannot write to the file.");
    EXPECT_EQ(host.depth, 0);
}

TEST(FormatTable, RowsAndOutputFormats) {
    const auto table = FormatTable();
    ASSERT_EQ(table.size(), 16u);
    const char* extensions[] = {"nmea", "nme", "log", "rbt", "frn", "txt", "trk", "log",
                                "trk",  "upt", "plt", "gpx", "kml", "rdn", "csv", "com"};
    for (size_t i = 0; i < 16; ++i) EXPECT_STREQ(table[i].extension, extensions[i]);
    EXPECT_EQ(table[2].reader, ReadBlueGpsLog);
    EXPECT_EQ(table[5].reader, ReadBlueGpsLog);
    EXPECT_EQ(table[5].writer, WriteTextTable);
    EXPECT_EQ(table[6].fieldMask, 0x000Eu);
    EXPECT_EQ(table[14].fieldMask, 0u);
    EXPECT_EQ(FindWriterRow("TXT"), 5);
    EXPECT_EQ(FindWriterRow("csv"), 14);
    EXPECT_EQ(FindWriterRow("nme"), -1);  // that row has no writer
    EXPECT_EQ(FindWriterRow("zip"), -1);
    EXPECT_EQ(WriterOptionName("nmea"), "WRT_NMEA");
    EXPECT_STREQ(LoadString(table[5].filterId), "Text (*.txt)|*.txt|");
}

TEST(CommandLine, SplitsLikeTheWindowsCommandLine) {
    using V = std::vector<std::string>;
    EXPECT_EQ(ParseCommandLine("ferolin.exe"), V{});
    EXPECT_EQ(ParseCommandLine("  \"C:\\Program Files\\ferolin.exe\"  a.log   gpx "),
              (V{"a.log", "gpx"}));
    EXPECT_EQ(ParseCommandLine("ferolin \"C:\\my logs\\*.log\" \"\" gpx"),
              (V{"C:\\my logs\\*.log", "gpx"}));
    EXPECT_EQ(ParseCommandLine("ferolin \" spaced \" \"unclosed arg"), (V{"spaced", "unclosed arg"}));
}

TEST(Batch, ConvertsEveryMatchingFileNextToItself) {
    TempDir dir;
    WriteFile(dir.File("b.log"), Datalog(2));
    WriteFile(dir.File("a.log"), Datalog(1));
    WriteFile(dir.File("c.LOG"), Datalog(1));     // the pattern is case-sensitive
    WriteFile(dir.File("empty.log"), "nothing\n");
    mkdir(dir.File("folder.log").c_str(), 0755);  // folders are not files
    const auto files = MatchingFiles(dir.path() + "/*.log");
    EXPECT_EQ(files, (std::vector<std::string>{dir.File("a.log"), dir.File("b.log"),
                                               dir.File("empty.log")}));

    RecordingHost host;
    CurrentTrack track;
    EXPECT_TRUE(!RunCommandLine({dir.path() + "/*.log", "TXT"}, track, host));
    EXPECT_TRUE(FileExists(dir.File("a.txt")));
    EXPECT_TRUE(FileExists(dir.File("b.txt")));
    EXPECT_FALSE(FileExists(dir.File("c.txt")));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].path, dir.File("empty.log"));
    // Neither a datalog nor a Magellan log: the Magellan reader finds no point.
    EXPECT_EQ(host.messages[0].text, "No track point in the file.");
    EXPECT_EQ(track.count, 0u);  // released after the last file
}

TEST(Batch, UnknownOutputOrNoMatchReadsAndWritesNothing) {
    TempDir dir;
    WriteFile(dir.File("a.log"), Datalog(1));
    for (const char* ext : {"zip", "nme"}) {
        RecordingHost host;
        CurrentTrack track;
        EXPECT_FALSE(RunCommandLine({dir.File("*.log"), ext}, track, host));
        EXPECT_TRUE(host.messages.empty());
        EXPECT_TRUE(host.loaded.empty());
    }
    EXPECT_TRUE(MatchingFiles(dir.File("*.gpx")).empty());
    EXPECT_TRUE(MatchingFiles(dir.File("nowhere/*.log")).empty());
    EXPECT_EQ(MatchingFiles(dir.File("a.log")), std::vector<std::string>{dir.File("a.log")});
    EXPECT_EQ(MatchingFiles("/dev/ttyUSB7.RBT"), std::vector<std::string>{"/dev/ttyUSB7.RBT"});
}

TEST(CommandLine, OneArgumentLoadsAnExistingFileAndKeepsTheWindow) {
    TempDir dir;
    WriteFile(dir.File("a.log"), Datalog(2));
    RecordingHost host;
    CurrentTrack track;
    EXPECT_TRUE(RunCommandLine({}, track, host));
    EXPECT_TRUE(RunCommandLine({dir.File("missing.log")}, track, host));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(RunCommandLine({dir.File("a.log")}, track, host));
    EXPECT_EQ(track.count, 2u);
}
