// Broken input end to end: the real programs, run as child processes with a
// time limit, on a folder of damaged files, FIFOs, devices and folders. Every
// bad file gives one message and nothing else: no crash, no wait, no output
// file touched.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "program_runner.h"
#include "test_support.h"

using namespace ferolin_test;

namespace {

constexpr const char* kCannotOpen = "Cannot open the file.";
constexpr const char* kNoPoint = "No track point in the file.";
// Far more than a conversion of these small files takes, even under the
// sanitizers; a program that blocks on a FIFO or reads a device forever is
// killed when it is over.
constexpr double kLimitSeconds = 60;
constexpr std::size_t kOverlong = 5u << 20;  // 5 MiB without a line end

// Bytes of every value, from a fixed generator; never byte 1 first (the
// native format's version byte).
std::string Junk(std::size_t size, uint32_t seed) {
    std::string text(size, '\0');
    for (char& c : text) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    text[0] = static_cast<char>(0xFF);
    return text;
}

std::string Datalog() {
    return "About total Numbers: 2\r\n=====================\r\n"
           "Record: 1\r\nYear: 2007\r\nMonth: 3\r\nDay: 9\r\nHour: 10\r\nMinute: 1\r\n"
           "Latitude: 45.5\r\nLongitude: 6.25\r\nAltitude: 100\r\n=====================\r\n"
           "Record: 2\r\nYear: 2007\r\nMonth: 3\r\nDay: 9\r\nHour: 10\r\nMinute: 2\r\n"
           "Latitude: 45.5\r\nLongitude: 6.5\r\nAltitude: 200\r\n=====================\r\n";
}

const char* const kGpx =
    "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\"><trk><trkseg>\n"
    "<trkpt lat=\"45.5\" lon=\"6.25\"><ele>100</ele></trkpt>\n</trkseg></trk></gpx>\n";

std::string Native(uint32_t declared, std::size_t tail) {
    std::string text = {1, 1, 5, 1};
    for (int i = 0; i < 4; ++i) text += static_cast<char>(declared >> (8 * i) & 0xFF);
    return text + std::string(tail, 'x');
}

// The listing of a folder: names and, for regular files, their contents.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const auto type = entry.symlink_status().type();
        if (type == std::filesystem::file_type::regular)
            files[name] = ReadFile(entry.path().string());
        else if (type == std::filesystem::file_type::fifo)
            files[name] = "<fifo>";
        else if (type == std::filesystem::file_type::directory)
            files[name] = "<folder>";
        else if (type == std::filesystem::file_type::symlink)
            files[name] = "<link to " + std::filesystem::read_symlink(entry.path()).string() + ">";
    }
    return files;
}

class BadInput : public ::testing::Test {
protected:
    // A bad input file and the message the program gives for it. Its would-be
    // output (the same title with `outputExtension`) is made beforehand.
    void Add(const std::string& name, const std::string& content, const char* message) {
        ASSERT_TRUE(WriteFile(dir.File(name), content)) << name;
        expected[name] = message;
    }
    void AddFifo(const std::string& name) {
        ASSERT_EQ(mkfifo(dir.File(name).c_str(), 0600), 0) << name;
        expected[name] = kCannotOpen;
    }
    void AddLink(const std::string& name, const std::string& target, const char* message) {
        ASSERT_EQ(symlink(target.c_str(), dir.File(name).c_str()), 0) << name;
        if (message) expected[name] = message;
    }
    // Known content in every output file a conversion of the bad inputs
    // could write; those files match the pattern too and, having an
    // extension no reader takes, give their own message.
    void MakeOutputs(const std::string& extension) {
        std::vector<std::string> names;
        for (const auto& [name, message] : expected) names.push_back(name);
        for (const std::string& name : names) {
            const std::string output = name.substr(0, name.rfind('.') + 1) + extension;
            ASSERT_TRUE(WriteFile(dir.File(output), "left alone: " + output + "\n"));
            expected[output] = kCannotOpen;
        }
    }
    // The expected messages, in the order of the sorted listing.
    std::string ExpectedErrors() const {
        std::string text;
        for (const auto& [name, message] : expected) text += dir.File(name) + ": " + message + "\n";
        return text;
    }

    TempDir dir;
    TempDir scratch;
    std::map<std::string, std::string> expected;  // sorted by name, as the listing is
};

}  // namespace

TEST_F(BadInput, OneBatchRunGivesOneMessagePerBadFileAndTouchesNoOutput) {
    const std::string junk = Junk(64 << 10, 7);
    // Truncated files of each format.
    Add("cut-frn.frn", std::string{1, 1, 5}, kCannotOpen);
    Add("cut-gpx.gpx", std::string(kGpx).substr(0, 80), kCannotOpen);
    Add("cut-kml.kml", "<?xml version=\"1.0\"?><kml><Document><Placemark><LineString>"
                       "<coordinates>6.25,45.", kCannotOpen);
    Add("cut-rdn.rdn", "<?xml version=\"1.0\"?><RANDO><ETAPE><POINT LAT=\"45.", kCannotOpen);
    Add("cut-log.log", "About total Num", kNoPoint);
    Add("cut-txt.txt", "About total Num", kCannotOpen);
    // A sentence cut after its name still counts, with the fields it kept:
    // these are cut inside the first name.
    Add("cut-nmea.nmea", "$GPGG", kNoPoint);
    Add("cut-plt.plt", "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\n", kNoPoint);
    Add("cut-trk.trk", "H  SOFTWARE NAME & VERSION\r\nI  PCX5 2.09\r\n", kNoPoint);
    Add("cut-upt.upt", "$PMGNT", kNoPoint);
    // Empty files.
    Add("empty-frn.frn", "", kNoPoint);
    Add("empty-gpx.gpx", "", kCannotOpen);
    Add("empty-nmea.nmea", "", kNoPoint);
    // Binary junk under each reader's extension.
    Add("junk-frn.frn", junk, kNoPoint);
    Add("junk-gpx.gpx", junk, kCannotOpen);
    Add("junk-kml.kml", junk, kCannotOpen);
    Add("junk-log.log", junk, kNoPoint);
    Add("junk-nme.nme", junk, kNoPoint);
    Add("junk-nmea.nmea", junk, kNoPoint);
    Add("junk-rdn.rdn", junk, kCannotOpen);
    Add("junk-trk.trk", junk, kNoPoint);
    Add("junk-txt.txt", junk, kCannotOpen);
    Add("junk-upt.upt", junk, kNoPoint);
    // Lines of several megabytes without a line end.
    Add("long-gpx.gpx", "<?xml version=\"1.0\"?><gpx><trk><name>" + std::string(kOverlong, 'n'),
        kCannotOpen);
    Add("long-log.log", "About total Numbers: " + std::string(kOverlong, '9'), kNoPoint);
    Add("long-nmea.nmea", "$GPTXT," + std::string(kOverlong, '1'), kNoPoint);
    Add("long-plt.plt", std::string(kOverlong, 'p'), kNoPoint);
    Add("long-trk.trk", "H  " + std::string(kOverlong, 'h'), kNoPoint);
    Add("long-txt.txt", std::string(kOverlong, 't'), kCannotOpen);
    // Huge declared counts.
    Add("huge-log.log", "About total Numbers: 2000000000\r\n=====================\r\n"
                        "Record: 1\r\nAltitude: 5\r\n=====================\r\n", kNoPoint);
    Add("huge-txt.txt", "About total Numbers: 4294967295\r\n=====================\r\n", kCannotOpen);
    Add("huge-frn.frn", Native(0xFFFFFFFFu, 40), kNoPoint);
    Add("huge-plt.plt", "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\n"
                        "Altitude is in Feet\r\nReserved 3\r\n0,2,255,t,0,0,2,8421376\r\n"
                        "4294967295\r\n", kNoPoint);
    // Other formats under a reader's extension.
    Add("gpx-as-nmea.nmea", kGpx, kNoPoint);
    Add("datalog-as-gpx.gpx", Datalog(), kCannotOpen);
    Add("datalog-as-kml.kml", Datalog(), kCannotOpen);
    Add("nmea-as-frn.frn", "$GPGGA,101500.000,4530.0000,N,00615.0000,E,1,05,1.5,100.0,M,,M,,*4B\r\n",
        kNoPoint);
    Add("gpx-as-trk.trk", kGpx, kNoPoint);
    Add("gpx-as-log.log", kGpx, kNoPoint);
    // FIFOs (nobody writes to them: opening one for reading would wait) and
    // devices under track extensions.
    for (const char* ext : {"frn", "gpx", "kml", "log", "nme", "nmea", "plt", "rdn", "trk", "txt", "upt"})
        AddFifo(std::string("fifo-") + ext + "." + ext);
    AddLink("zero-log.log", "/dev/zero", kCannotOpen);
    AddLink("zero-frn.frn", "/dev/zero", kCannotOpen);
    AddLink("zero-gpx.gpx", "/dev/zero", kCannotOpen);
    AddLink("null-nmea.nmea", "/dev/null", kCannotOpen);
    MakeOutputs("csv");
    // Folders whose names match the pattern are not listed.
    ASSERT_EQ(mkdir(dir.File("folder.nmea").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.File("folder.csv").c_str(), 0755), 0);
    AddLink("linked-folder.gpx", dir.File("folder.nmea"), nullptr);
    // One good file among them still converts.
    ASSERT_TRUE(WriteFile(dir.File("good.log"), Datalog()));

    const std::map<std::string, std::string> before = Snapshot(dir.path());
    const ProgramRun run =
        RunProgram(FEROLIN_BIN, {"--no-settings", dir.File("*"), "csv"},
                   {"XDG_CONFIG_HOME=" + scratch.path()}, scratch.path(), kLimitSeconds);
    ASSERT_TRUE(run.finished) << "still running after " << kLimitSeconds << " s";
    EXPECT_FALSE(run.signaled);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, ExpectedErrors());

    // Every file as it was, the good file's output added, no temporary file left.
    std::map<std::string, std::string> after = Snapshot(dir.path());
    ASSERT_EQ(after.count("good.csv"), 1u);
    EXPECT_EQ(after["good.csv"].rfind("Generated by Ferolin 1.51\r\n", 0), 0u)
        << after["good.csv"].substr(0, 80);
    after.erase("good.csv");
    EXPECT_EQ(after.size(), before.size());
    for (const auto& [name, content] : before) {
        ASSERT_EQ(after.count(name), 1u) << name << " is gone";
        EXPECT_TRUE(after[name] == content) << name << " changed";
    }
}

TEST_F(BadInput, HandheldExportRefusesWhatIsNoTrackFile) {
    ASSERT_EQ(mkfifo(dir.File("fifo.log").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(dir.File("fifo.nmea").c_str(), 0600), 0);
    ASSERT_EQ(mkdir(dir.File("folder.log").c_str(), 0755), 0);
    ASSERT_EQ(symlink("/dev/zero", dir.File("zero.nmea").c_str()), 0);
    ASSERT_EQ(symlink("/dev/zero", dir.File("zero.log").c_str()), 0);
    ASSERT_TRUE(WriteFile(dir.File("junk.log"), Junk(64 << 10, 11)));
    ASSERT_TRUE(WriteFile(dir.File("junk.nmea"), Junk(64 << 10, 13)));
    ASSERT_TRUE(WriteFile(dir.File("huge.log"),
                          "About total Numbers: 2000000000\r\n=====================\r\n"));
    ASSERT_TRUE(WriteFile(dir.File("long.nmea"), "$GPTXT," + std::string(kOverlong, '2')));
    ASSERT_TRUE(WriteFile(dir.File("cut.log"), Datalog().substr(0, 12)));

    const std::vector<std::pair<std::string, const char*>> cases = {
        {"fifo.log", kCannotOpen},  {"fifo.nmea", kCannotOpen}, {"folder.log", kCannotOpen},
        {"zero.nmea", kCannotOpen}, {"zero.log", kCannotOpen},  {"junk.log", kNoPoint},
        {"junk.nmea", kNoPoint},    {"huge.log", kCannotOpen},  {"long.nmea", kNoPoint},
        {"cut.log", kNoPoint},
    };
    for (const char* ext : {"gpx", "txt", "trk", "plt"}) {
        const std::string output = dir.File(std::string("out.") + ext);
        ASSERT_TRUE(WriteFile(output, "left alone\n"));
        for (const auto& [name, message] : cases) {
            const std::string input = dir.File(name);
            const ProgramRun run = RunProgram(FEROLIX_BIN, {input, "-o", output}, {},
                                              scratch.path(), kLimitSeconds);
            ASSERT_TRUE(run.finished) << name << " still running after " << kLimitSeconds << " s";
            EXPECT_FALSE(run.signaled) << name;
            EXPECT_EQ(run.status, 1) << name;
            EXPECT_EQ(run.err, input + ": " + message + "\n");
            EXPECT_EQ(ReadFile(output), "left alone\n") << name << " -> " << ext;
        }
    }
    // Nothing but the inputs and the four outputs: no temporary file left.
    EXPECT_EQ(ferolin_test::CountFiles(dir.path()), static_cast<int>(cases.size()) + 4);
}
