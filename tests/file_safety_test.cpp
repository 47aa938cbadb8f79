// The batch program as a user runs it, on the files it must never harm: its
// own input under every name, outputs that cannot be written whole, paths
// that are no regular files, runs cut short by a signal, and huge files that
// are no tracks. Each case runs the real program as a child process.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "program_runner.h"
#include "test_support.h"

using namespace ferolin_test;

namespace {

// A GGA trace of `count` fixes one second apart.
std::string Trace(int count) {
    std::string text;
    text.reserve(static_cast<std::size_t>(count) * 72);
    char line[128];
    for (int i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, "$GPGGA,%02d%02d%02d,4807.%03d,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,\r\n",
                      i / 3600 % 24, i / 60 % 60, i % 60, i % 1000);
        text += line;
    }
    return text;
}

ProgramRun Ferolin(std::vector<std::string> arguments, const TempDir& scratch,
                   const std::function<void(pid_t)>& watch = {}) {
    arguments.insert(arguments.begin(), "--no-settings");
    return RunProgram(FEROLIN_BIN, arguments,
                      {"XDG_CONFIG_HOME=" + scratch.path(), "SOURCE_DATE_EPOCH=1700000000"},
                      scratch.path(), 60, watch);
}

// The temporary files a writer left in `folder`.
int Leftovers(const std::string& folder) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        count += entry.path().filename().string().rfind(".ferolin-", 0) == 0;
    return count;
}

// A small tmpfs over a folder for the life of the object (root only).
class SmallDisk {
public:
    SmallDisk(const std::string& at, const char* size) : at_(at) {
        mounted_ = mount("tmpfs", at.c_str(), "tmpfs", 0, size) == 0;
    }
    ~SmallDisk() {
        if (mounted_) umount2(at_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    bool MakeReadOnly() {
        return mount("tmpfs", at_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    std::string at_;
    bool mounted_ = false;
};

}  // namespace

// The input under other names: tests/data/batch/same_input*.case.
// -o and -d into files: tests/data/batch/output_*.case.
TEST(FileSafety, OutputsGoToTheStandardOutput) {
    TempDir dir, scratch;
    WriteFile(dir.File("walk.nmea"), Trace(20));
    const ProgramRun toFile = Ferolin({dir.File("walk.nmea"), "-o", dir.File("-.gpx")}, scratch);
    const ProgramRun toOut = Ferolin({dir.File("walk.nmea"), "gpx", "-o", "-"}, scratch);
    EXPECT_EQ(toFile.status + toOut.status, 0) << toFile.err << toOut.err;
    EXPECT_NE(toOut.out.find("<trkpt"), std::string::npos);
    EXPECT_EQ(toOut.out, ReadFile(dir.File("-.gpx")));  // the track is named "-" in both
    EXPECT_EQ(toOut.err, "");
    EXPECT_EQ(Ferolin({dir.File("walk.nmea"), "-o", "-"}, scratch).status, 2);  // which format?
    EXPECT_EQ(CountFiles(dir.path()), 2);
}

TEST(FileSafety, OutputsAreWrittenWholeOrNotAtAll) {
    TempDir dir, scratch;
    WriteFile(dir.File("walk.nmea"), Trace(3000));
    // A title as long as a file name may be: the temporary name is our own.
    const std::string title(250, 't');
    WriteFile(dir.File(title + ".nmea"), Trace(3000));
    ASSERT_EQ(Ferolin({dir.File(title + ".nmea"), "kml"}, scratch).status, 0);
    ASSERT_EQ(Ferolin({dir.File("walk.nmea"), "-o", dir.File("walk.kml")}, scratch).status, 0);
    const std::string kml = ReadFile(dir.File(title + ".kml"));
    EXPECT_GT(kml.size(), 100000u);
    EXPECT_EQ(Leftovers(dir.path()), 0);

    // A disk too small for the output, and a folder that takes no new file:
    // the existing output stays as it was, nothing is left behind.
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small disk needs root";
    for (const bool readOnly : {false, true}) {
        TempDir place;
        SmallDisk disk(place.path(), "size=64k");
        ASSERT_TRUE(disk.mounted()) << std::strerror(errno);
        WriteFile(place.File("walk.kml"), "the user's own file\n");
        if (readOnly) {
            ASSERT_TRUE(disk.MakeReadOnly()) << std::strerror(errno);
        }
        const ProgramRun run = Ferolin({dir.File("walk.nmea"), "-o", place.File("walk.kml")}, scratch);
        EXPECT_EQ(run.status, 1) << readOnly;
        EXPECT_EQ(run.err, place.File("walk.kml") + ": Cannot write to the file.\n");
        EXPECT_EQ(ReadFile(place.File("walk.kml")), "the user's own file\n");
        EXPECT_EQ(Leftovers(place.path()), 0);
    }
}

TEST(FileSafety, OnlyRegularFilesAreWritten) {
    TempDir dir, scratch;
    WriteFile(dir.File("walk.nmea"), Trace(20));
    WriteFile(dir.File("target.gpx"), "old\n");
    WriteFile(dir.File("locked.gpx"), "locked\n");
    chmod(dir.File("locked.gpx").c_str(), 0444);
    ASSERT_EQ(mkfifo(dir.File("fifo.gpx").c_str(), 0600), 0);
    const int fifo = open(dir.File("fifo.gpx").c_str(), O_RDONLY | O_NONBLOCK);  // a reader waits
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(grantpt(terminal) | unlockpt(terminal), 0);
    const std::string pts = ptsname(terminal);
    const int socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", dir.File("sock.gpx").c_str());
    ASSERT_EQ(bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(mkdir(dir.File("folder.gpx").c_str(), 0755), 0);
    ASSERT_EQ(symlink(dir.File("fifo.gpx").c_str(), dir.File("to-fifo.gpx").c_str()), 0);
    ASSERT_EQ(symlink(dir.File("nothing.gpx").c_str(), dir.File("dangling.gpx").c_str()), 0);
    ASSERT_EQ(symlink("/dev/null", dir.File("to-null.gpx").c_str()), 0);
    ASSERT_EQ(symlink(dir.File("target.gpx").c_str(), dir.File("to-target.gpx").c_str()), 0);

    for (const std::string& path : {dir.File("fifo.gpx"), pts, dir.File("sock.gpx"), dir.File("folder.gpx"),
                                    dir.File("to-fifo.gpx"), dir.File("dangling.gpx"), dir.File("to-null.gpx"),
                                    dir.File("locked.gpx"), std::string("/dev/full")}) {
        const ProgramRun run = Ferolin({dir.File("walk.nmea"), "gpx", "-o", path}, scratch);
        EXPECT_TRUE(run.finished) << path;
        EXPECT_EQ(run.status, 1) << path;
        EXPECT_EQ(run.err, path + ": Cannot write to the file.\n");
    }
    char byte;
    EXPECT_EQ(read(fifo, &byte, 1), 0) << "the FIFO was written";
    EXPECT_EQ(read(terminal, &byte, 1), -1) << "the terminal was written";
    EXPECT_EQ(ReadFile(dir.File("locked.gpx")), "locked\n");
    EXPECT_FALSE(FileExists(dir.File("nothing.gpx")));
    // A link to a regular file: that file is replaced, the link stays.
    EXPECT_EQ(Ferolin({dir.File("walk.nmea"), "-o", dir.File("to-target.gpx")}, scratch).status, 0);
    EXPECT_NE(ReadFile(dir.File("target.gpx")).find("<trkpt"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("to-target.gpx")));
    EXPECT_EQ(Leftovers(dir.path()), 0);
    close(fifo);
    close(terminal);
    close(socketFd);
}

TEST(FileSafety, AnInterruptedRunLeavesNoTemporaryFile) {
    TempDir dir, scratch;
    WriteFile(dir.File("a.nmea"), Trace(50));
    WriteFile(dir.File("b.nmea"), Trace(50));
    WriteFile(dir.File("z.nmea"), Trace(1000000));  // seconds of writing
    for (const int signal : {SIGINT, SIGTERM}) {
        TempDir out;
        WriteFile(out.File("z.kml"), "the user's own file\n");
        bool sent = false;
        // Once the last file's output is on its way, the user interrupts.
        const ProgramRun run = Ferolin({"-j", "1", dir.File("*.nmea"), "kml", "-d", out.path()}, scratch,
                                       [&](pid_t pid) {
                                           if (!sent && FileExists(out.File("b.kml")) && Leftovers(out.path()) > 0)
                                               sent = kill(pid, signal) == 0;
                                       });
        ASSERT_TRUE(sent) << "the run ended before its last output was begun";
        EXPECT_EQ(run.signal, signal);
        EXPECT_EQ(Leftovers(out.path()), 0);
        EXPECT_EQ(ReadFile(out.File("z.kml")), "the user's own file\n");
        for (const char* done : {"a.kml", "b.kml"}) {
            const std::string text = ReadFile(out.File(done));
            EXPECT_EQ(text.substr(text.size() - 8), "</kml>\r\n") << done;
        }
    }
}

TEST(FileSafety, WholeFileReadersRefuseWhatDoesNotOpenAsTheirFormat) {
    TempDir dir, scratch;
    for (const char* name : {"zeros.fit", "zeros.geojson"}) {
        const std::string path = dir.File(name);
        ASSERT_EQ(truncate((WriteFile(path, ""), path).c_str(), 2000000000), 0);
        const ProgramRun run = Ferolin({path, "gpx"}, scratch, [](pid_t) {});  // memory sampled each millisecond
        EXPECT_EQ(run.err, path + ": Cannot open the file.\n");
        EXPECT_LT(run.seconds, 0.5) << name;
        EXPECT_LT(run.peakKilobytes, 50 * 1024) << name;
    }
}
