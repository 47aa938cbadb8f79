// The driver's own rules beyond the data cases: how rows of one extension
// fall back on each other, what a logger row's track is called, and the
// messages of an export.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/driver.h"
#include "core/strings.h"
#include "formats/bluegps.h"
#include "test_support.h"
#include "track_columns.h"

using namespace ferolin;
using namespace ferolin_test;
using ferolin_test::ReadStatus;

namespace {

ReadStatus ReadNothing(const std::string&, TrackPointArray& points, uint32_t& count) {
    points.reset();
    count = 0;
    return ReadStatus::kOk;
}

struct Host : DriverHost {
    void ShowMessage(const std::string& path, int id, MessageIcon icon, const std::string&) override {
        messages.push_back(path + ": " + LoadString(id) + (icon == MessageIcon::kStop ? " (stop)" : " (!)"));
    }
    void TrackLoaded(const CurrentTrack& track) override { loaded.push_back(track.displayName); }
    std::vector<std::string> messages, loaded;
};

const char* const kDatalog = "About total Numbers: 1\n=====================\nRecord: 1\nLatitude: 45.5\n";

}  // namespace

TEST(Driver, RowsOfAnExtensionFallBackInTableOrder) {
    TempDir dir;
    WriteFile(dir.File("walk.dat"), "not a datalog\n");
    WriteFile(dir.File("ttyUSB0.rbt"), kDatalog);
    const FormatEntry table[] = {
        {"dat", 0, WithoutSensors<ReadBlueGpsLog>, nullptr, 0xFFFF},
        {"xyz", 0, WithoutSensors<ReadNothing>, nullptr, 0x1},
        {"dat", 0, nullptr, nullptr, 0x2},                         // no reader: skipped
        {"DAT", 0, WithoutSensors<ReadNothing>, nullptr, 0x000E},  // the fall-back
        {"dat", 0, WithoutSensors<ReadNothing>, nullptr, 0x4},     // never reached
        {"rbt", 0, WithoutSensors<ReadBlueGpsLog>, nullptr, 0xFFFF},
    };
    Host host;
    CurrentTrack track;
    EXPECT_EQ(LoadTrack(track, dir.File("walk.dat"), host, table), 1);
    // The fall-back read zero points: that is not "Cannot open the file.".
    EXPECT_EQ(host.messages, std::vector<std::string>{dir.File("walk.dat") + ": No track point in the file. (!)"});
    EXPECT_EQ(track.count, 0u);  // nothing loaded, nothing replaced
    // The logger row names its track as downloaded.
    ASSERT_EQ(LoadTrack(track, dir.File("ttyUSB0.rbt"), host, table), 0);
    EXPECT_EQ(host.loaded, std::vector<std::string>{"Downloaded from GPS"});
    EXPECT_EQ(track.fileTitle, "Downloaded from GPS");
    // A writer that fails is reported with the export path.
    EXPECT_EQ(ExportToFile(track, dir.File("no/such/out.csv"), FindWriterRow("CSV"), {}, kAllOptions, host), 1);
    EXPECT_EQ(host.messages.back(), dir.File("no/such/out.csv") + ": Cannot write to the file. (stop)");
}

TEST(Driver, OneFileKeepsTheWindowAndAFailedLoadKeepsTheTrack) {
    using V = std::vector<std::string>;
    TempDir dir;
    WriteFile(dir.File("a.log"), kDatalog);
    Host host;
    CurrentTrack track;
    LoadCommandLineFile({}, track, host);
    LoadCommandLineFile({dir.File("missing.log")}, track, host);
    EXPECT_TRUE(host.messages.empty());
    LoadCommandLineFile({dir.File("a.log")}, track, host);
    EXPECT_EQ(track.count, 1u);
    EXPECT_EQ(MatchingFiles("/dev/ttyUSB7.RBT"), V{"/dev/ttyUSB7.RBT"});  // a port stands for itself
    // "Cannot open the file." for all, and the track loaded stays as it was.
    WriteFile(dir.File("broken.gpx"), "<gpx><trk>");
    WriteFile(dir.File("notes.txt"), "shopping list\n");
    const TrackPoint* points = track.points.get();
    for (const char* name : {"broken.gpx", "absent.gpx", "notes.txt", "absent.log"}) {
        Host failing;
        EXPECT_EQ(LoadTrack(track, dir.File(name), failing), 1);
        EXPECT_EQ(failing.messages, V{dir.File(name) + ": Cannot open the file. (stop)"});
        EXPECT_EQ(track.points.get(), points) << name;
        EXPECT_EQ(track.count, 1u) << name;
        EXPECT_EQ(track.sourcePath, dir.File("a.log")) << name;
    }
}
