#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "formats/format_table.h"
#include "devices/logger.h"
#include "convert/device_rows.h"
#include "formats/nmea_sentences.h"
#include "devices/serial_port.h"
#include "pty_support.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

TEST(SerialPort, OnlyTerminalsAreOpenedAndNothingIsWrittenElsewhere) {
    TempDir dir;
    PseudoTerminal pty;
    pty.LinkAs(dir.File("ttyFAKE"));
    ASSERT_EQ(symlink("/dev/null", dir.File("ttyNUL").c_str()), 0);
    WriteFile(dir.File("ttyREG"), "keep\n");
    ASSERT_EQ(mkdir(dir.File("ttyDIR").c_str(), 0755), 0);

    TrackPoint point{};
    const ExportEntry entry{&point, 0.0f};
    for (const char* name : {"ttyNUL", "ttyREG", "ttyDIR", "ttyNOPE9f3a", "null", "zero"}) {
        for (const char* ext : {".com", ".rbt"}) {
            const std::string path = dir.File(std::string(name) + ext);
            SCOPED_TRACE(path);
            SerialPort port;
            EXPECT_FALSE(port.Open(path));
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(SendNmeaToPort(path, &entry, 1, kAllOptions), 1);
            TrackPointArray points;
            uint32_t count = 7;
            EXPECT_EQ(DownloadLoggerTrack(path, points, count), ReadStatus::kCannotOpen);
            EXPECT_EQ(count, 0u);
            EXPECT_FALSE(points);
            EXPECT_LT(SecondsSince(start), 0.5);  // refused at once, no waits
        }
    }
    EXPECT_EQ(ReadFile(dir.File("ttyREG")), "keep\n");
    EXPECT_FALSE(ferolin_test::FileExists(dir.File("ttyNOPE9f3a")));

    // D + T first, symbolic links followed; the extension and the rest of the
    // name do not matter.
    SerialPort port;
    ASSERT_TRUE(port.Open(dir.File("ttyFAKE.anything")));
    EXPECT_EQ(port.device(), dir.File("ttyFAKE"));
    port.Close();
    EXPECT_TRUE(port.Open(pty.slavePath() + ".rbt"));
    EXPECT_EQ(port.device(), pty.slavePath());
    port.Close();

    // Else /dev/T: ptmx is a terminal in /dev, and a link of the same title in
    // the folder takes precedence over it.
    struct stat info;
    if (stat("/dev/ptmx", &info) == 0 && S_ISCHR(info.st_mode)) {
        ASSERT_TRUE(port.Open(dir.File("ptmx.com")));
        EXPECT_EQ(port.device(), "/dev/ptmx");
        port.Close();
        pty.LinkAs(dir.File("ptmx"));
        ASSERT_TRUE(port.Open(dir.File("ptmx.com")));
        EXPECT_EQ(port.device(), dir.File("ptmx"));
    }
}

TEST(SerialPort, RawExclusiveBoundedAndRestoredOnClose) {
    TempDir dir;
    PseudoTerminal pty;
    pty.LinkAs(dir.File("ttyFAKE"));
    const termios before = UnusualLineMode(pty.Settings());
    pty.SetSettings(before);
    ASSERT_TRUE(SameLineSettings(pty.Settings(), before));
    ASSERT_FALSE(pty.Exclusive());

    auto closing = std::chrono::steady_clock::now();
    {
        SerialPort port;
        ASSERT_TRUE(port.Open(dir.File("ttyFAKE.com")));
        EXPECT_TRUE(pty.Exclusive());
        termios now = pty.Settings();
        EXPECT_TRUE(IsRawMode(now));
        EXPECT_EQ(cfgetospeed(&now), static_cast<speed_t>(B4800));  // opening keeps the speed
        EXPECT_TRUE(now.c_cflag & CSTOPB);

        // Binary bytes pass both ways untouched.
        const std::string binary("\r\n\x03\x04\x11\x13\x7f\x15\x00\xff\r", 11);
        pty.WriteMaster(binary);
        char in[32] = {};
        ASSERT_EQ(port.Read(in, binary.size(), 1000), binary.size());
        EXPECT_EQ(std::string(in, binary.size()), binary);
        EXPECT_EQ(port.Write(binary.data(), binary.size(), 1000), binary.size());
        std::string out;
        pty.ReadMaster(out, binary.size(), 1000);
        EXPECT_EQ(out, binary);

        // 8N1 and a speed the line knows; a speed it does not know keeps the
        // previous one and still sets 8N1.
        EXPECT_TRUE(port.SetLine8N1(57600));
        now = pty.Settings();
        EXPECT_EQ(cfgetospeed(&now), static_cast<speed_t>(B57600));
        EXPECT_EQ(now.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
        EXPECT_FALSE(port.SetLine8N1(kNmeaBaudMask));
        now = pty.Settings();
        EXPECT_EQ(cfgetospeed(&now), static_cast<speed_t>(B57600));
        EXPECT_TRUE(port.SetLine8N1(115200));
        EXPECT_TRUE(port.SetLine8N1(4800));
        EXPECT_FALSE(port.SetLine8N1(4801));
        now = pty.Settings();
        EXPECT_EQ(cfgetospeed(&now), static_cast<speed_t>(B4800));

        // Reads wait no longer than they are told, whether a few bytes come
        // or none.
        pty.WriteMaster("ab");
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(port.Read(in, 10, 300), 2u);
        double took = SecondsSince(start);
        EXPECT_GE(took, 0.29);
        EXPECT_LT(took, 1.0);

        // Nobody reads the master: a large write stops at its time limit.
        const std::string big(1 << 20, 'x');
        start = std::chrono::steady_clock::now();
        const std::size_t written = port.Write(big.data(), big.size(), 300);
        took = SecondsSince(start);
        EXPECT_LT(written, big.size());
        EXPECT_GE(took, 0.29);
        EXPECT_LT(took, 1.5);

        // Purging drops what waits in both directions.
        pty.WriteMaster("pending");
        usleep(50000);
        port.Purge();
        EXPECT_EQ(port.Read(in, 1, 100), 0u);
        pty.DrainMaster(50);
        // Closing with output the other side never reads is bounded too.
        port.Write(big.data(), 4096, 100);
        closing = std::chrono::steady_clock::now();
    }
    EXPECT_LT(SecondsSince(closing), 3.0);
    EXPECT_FALSE(pty.Exclusive());
    EXPECT_TRUE(SameLineSettings(pty.Settings(), before));
}
