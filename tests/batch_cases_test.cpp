// The batch command line of ferolin, run on the cases of tests/data/batch/:
// each .case file sets up a folder, runs one command line and states its exit
// status, its messages and the files it leaves (layout in that folder's
// README); and the same conversions with several files at a time.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "convert/batch.h"
#include "data_cases.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

// Settings as a user may have stored them, at face value.
struct StoredSettings : BatchSettings {
    StoredSelection selection;
    std::map<std::string, uint32_t> options;
    StoredSelection Selection() const override { return selection; }
    uint32_t WriterOptions(std::string_view extension) const override {
        const auto at = options.find(std::string(extension));
        return at == options.end() ? kAllOptions : at->second;
    }
};

std::string Replaced(std::string text, const std::string& folder) {
    for (std::size_t at; (at = text.find("$D")) != std::string::npos;) text.replace(at, 2, folder);
    return text;
}

// Words separated by blanks; single quotes keep blanks (and double quotes) in one word.
std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : text) {
        if (c == '\'') {
            quoted = !quoted;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any) words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any) words.push_back(word);
    return words;
}

std::vector<std::string> Cases() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(DataFolder("batch")))
        if (entry.path().extension() == ".case") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Batch : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(Batch, RunsAsItsCaseSays) {
    const std::string data = DataFolder("batch");
    TempDir dir;
    StoredSettings settings;
    std::vector<std::string> arguments;
    std::string wantOut, wantErr, line;
    std::vector<std::string> outParts, errParts;
    int wantStatus = 0;
    std::vector<std::pair<std::string, std::string>> files;  // name, expected file ("" = none)
    std::istringstream text(ReadFile(data + "/" + GetParam() + ".case"));
    while (std::getline(text, line)) {
        if (line.empty() || line[0] == '#') continue;
        const std::string key = line.substr(0, line.find(' '));
        const std::string rest = line.size() > key.size() ? Replaced(line.substr(key.size() + 1), dir.path()) : "";
        const std::vector<std::string> words = Words(rest);
        if (key == "input") {
            ASSERT_TRUE(WriteFile(dir.File(words.back()), ReadFile(data + "/" + words.front()))) << line;
        } else if (key == "folder") {
            ASSERT_EQ(mkdir(dir.File(rest).c_str(), 0755), 0) << line;
        } else if (key == "link" || key == "hardlink") {
            const std::string target = dir.File(words[1]), name = dir.File(words[0]);
            ASSERT_EQ((key == "link" ? symlink : link)(target.c_str(), name.c_str()), 0) << line;
        } else if (key == "stored") {
            ExclusionRule rule;
            if (words[0] == "rule" && ParseExcludeRule(words[1], rule)) settings.selection.rules.push_back(rule);
            else if (words[0] == "geoid") settings.selection.geoidOn = true, settings.selection.geoidHeight = std::stof(words[1]);
            else if (words[0] == "smooth") settings.selection.smoothOn = true, settings.selection.smoothingWidth = std::stoul(words[1]);
            else if (words[0] == "options") settings.options[words[1]] = static_cast<uint32_t>(std::stoul(words[2], nullptr, 0));
            else FAIL() << "unknown setting: " << line;
        } else if (key == "run") {
            arguments = words;
        } else if (key == "status") {
            wantStatus = std::stoi(rest);
        } else if (key == "out" || key == "err") {
            (key == "out" ? wantOut : wantErr) += rest + "\n";
        } else if (key == "out~" || key == "err~") {
            (key == "out~" ? outParts : errParts).push_back(rest);
        } else if (key == "file" || key == "nofile") {
            files.emplace_back(words[0], key == "file" ? data + "/" + words[1] : "");
        } else {
            FAIL() << "unknown line: " << line;
        }
    }
    std::ostringstream out, err;
    EXPECT_EQ(FerolinMain(arguments, out, err, &settings), wantStatus);
    if (outParts.empty()) {
        EXPECT_EQ(out.str(), wantOut);
    }
    if (errParts.empty()) {
        EXPECT_EQ(err.str(), wantErr);
    }
    for (const std::string& part : outParts) EXPECT_NE(out.str().find(part), std::string::npos) << part;
    for (const std::string& part : errParts) EXPECT_NE(err.str().find(part), std::string::npos) << part;
    for (const auto& [name, expected] : files) {
        if (expected.empty()) {
            EXPECT_FALSE(FileExists(dir.File(name))) << name;
        } else {
            EXPECT_EQ(ReadFile(dir.File(name)), ReadFile(expected)) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Data, Batch, ::testing::ValuesIn(Cases()), [](const auto& param) { return param.param; });

namespace {

// Three dated points climbing `step` m at a time, one minute apart.
std::string Datalog(int step) {
    std::string text = "About total Numbers: 3\r\n=====================\r\n";
    for (int i = 1; i <= 3; ++i)
        text += "Record: " + std::to_string(i) + "\r\nYear: 2007\r\nMonth: 3\r\nDay: 9\r\nHour: 10\r\nMinute: " +
                std::to_string(i) + "\r\nAltitude: " + std::to_string(step * i) + "\r\n=====================\r\n";
    return text;
}

// A folder of tracks: datalogs, NMEA traces and OziExplorer tracks, broken
// files and files no reader takes, tracks that the selection empties, three
// inputs writing one output (same.log, same.LOG, same.nmea: only the first,
// same.LOG, writes it), a GPX that would be written over itself and one that
// another input would write over (neither is written). Long files are where
// a wrong order would show: the first file, a trace the selection empties
// (the files after it finish first, but its message comes first), and the
// first of the inputs sharing an output.
void FillMixedFolder(const std::string& folder) {
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    std::string trace, magellan, gpx = "<gpx><trk><trkseg>";
    for (int i = 0; i < 50000; ++i) {
        trace += "$GPGGA,120000,4807.038,N,01131.000,E,1,08,0.9,5000,M,,M,,\r\n";
        magellan += "$PMGNTRK,4807.038,N,01131.000,E,00545,M,222519.00,A,,230394*00\r\n";
        gpx += "<trkpt lat=\"1\" lon=\"2\"/>";
    }
    WriteFile(folder + "/big.nmea", trace);
    WriteFile(folder + "/prev.gpx", gpx + "</trkseg></trk></gpx>");
    WriteFile(folder + "/same.LOG", magellan);
    for (int i = 0; i < 40; ++i) {
        const std::string n = std::to_string(10 + i), stem = folder + "/t" + n;
        if (i % 6 == 0) WriteFile(stem + ".log", Datalog(10 + i));
        if (i % 6 == 1)
            WriteFile(stem + ".nmea", "$GPGGA,1200" + n + ",48" + n + ".038,N,011" + n + ".000,E,1,08,0.9,5" + n + ".4,M,46.9,M,,*47\r\n");
        if (i % 6 == 2)
            WriteFile(stem + ".plt", "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n"
                                     "0,2,255,T,0\r\n1\r\n  47." + n + ",-122." + n + ",1, 1" + n + ".0,39862.5,18-Feb-09, 12:00:00 PM\r\n");
        if (i % 6 == 3) WriteFile(stem + ".log", "not a datalog\n");
        if (i % 6 == 4) WriteFile(stem + ".xyz", "no reader\n");
        if (i % 6 == 5) WriteFile(stem + ".log", Datalog(1000 + i));  // all excluded
    }
    WriteFile(folder + "/same.log", Datalog(7));
    WriteFile(folder + "/same.nmea", "$GPGGA,120000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,M,,\r\n");
    WriteFile(folder + "/prev.plt", "a\nb\nc\nd\ne\nf\n  3.5,4.5,0, 33.0,39862.5,,\n");
    WriteFile(folder + "/self.gpx", "<gpx><trk><trkseg><trkpt lat=\"5\" lon=\"6\"/></trkseg></trk></gpx>");
}

// A settings store that counts its readings and the threads they come from.
struct CountingSettings : BatchSettings {
    StoredSelection Selection() const override { return Note(), StoredSelection{}; }
    uint32_t WriterOptions(std::string_view) const override { return Note(), kAllOptions; }
    void Note() const {
        ++readings;
        elsewhere = elsewhere || std::this_thread::get_id() != caller;
    }
    mutable int readings = 0;
    mutable bool elsewhere = false;
    std::thread::id caller = std::this_thread::get_id();
};

}  // namespace

TEST(BatchJobs, EveryJobCountGivesTheSameFilesMessagesAndStatus) {
    const FixedClock clock("1700000000");  // the GPX writer stamps its files
    TempDir dir;
    std::map<std::string, std::string> serialFiles;
    std::string serialErr;
    for (const std::string jobs : {"1", "4", "", "2"}) {
        SCOPED_TRACE("-j " + jobs);
        const std::string folder = dir.File("j" + jobs);
        FillMixedFolder(folder);
        std::vector<std::string> arguments = {"--exclude", "altitude>999", folder + "/*", "gpx"};
        if (!jobs.empty()) arguments.insert(arguments.begin(), {"-j", jobs});
        std::ostringstream out, err;
        EXPECT_EQ(FerolinMain(arguments, out, err, nullptr), 1);
        std::string text = err.str();
        for (std::size_t at; (at = text.find(folder)) != std::string::npos;) text.replace(at, folder.size(), "DIR");
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            files[entry.path().filename().string()] = ReadFile(entry.path().string());
        if (jobs != "1") {
            EXPECT_EQ(text, serialErr);
            EXPECT_TRUE(files == serialFiles) << "the files differ from those of -j 1";
            continue;
        }
        // One line per failed file, in name order.
        serialErr = text;
        serialFiles = files;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 25);
        EXPECT_EQ(text.rfind("DIR/big.gpx: No track point to write.\nDIR/prev.gpx: The output would replace the input file.\n"
                             "DIR/prev.plt: The output would replace the input file.\n"
                             "DIR/same.log: Another input of this run writes the same output.\n"
                             "DIR/same.nmea: Another input of this run writes the same output.\n"
                             "DIR/self.gpx: The output would replace the input file.\n"
                             "DIR/t13.log: No track point in the file.\n"
                             "DIR/t14.xyz: Cannot open the file.\nDIR/t15.gpx: No track point to write.\n", 0), 0u);
        EXPECT_NE(files["same.gpx"].find("lat=\"48.1173"), std::string::npos);  // the Magellan log's
        EXPECT_EQ(files["prev.gpx"].rfind("<gpx><trk><trkseg><trkpt lat=\"1\" lon=\"2\"/>", 0), 0u);
    }
}

TEST(BatchJobs, SettingsAreReadOnceBeforeTheWorkersStart) {
    TempDir dir;
    for (int i = 0; i < 30; ++i) WriteFile(dir.File("w" + std::to_string(i) + ".log"), Datalog(100));
    const CountingSettings settings;
    std::ostringstream out, err;
    EXPECT_EQ(FerolinMain({"-j", "4", dir.File("*.log"), "gpx"}, out, err, &settings), 0);
    EXPECT_EQ(err.str(), "");
    EXPECT_TRUE(FileExists(dir.File("w29.gpx")));
    EXPECT_EQ(settings.readings, 2);  // the selection and the writer's option word
    EXPECT_FALSE(settings.elsewhere);
}
