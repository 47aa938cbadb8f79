// Serial devices on pseudo-terminals: the code under test opens the slave
// (through a link named like a port), the test plays the device on the master.
// What goes over the wire is checked byte for byte, with its pace, time-outs
// and line settings; the record frames themselves are data cases
// (tests/data/logger/).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "convert/batch.h"
#include "convert/device_rows.h"
#include "convert/driver.h"
#include "core/strings.h"
#include "devices/logger.h"
#include "devices/serial_port.h"
#include "formats/nmea_sentences.h"
#include "test_support.h"
#include "track_columns.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A master and its slave, which starts in the kernel's default mode; the test
// keeps the slave open to watch its settings.
class PseudoTerminal {
public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 || !ptsname(master_))
            throw std::runtime_error("no pseudo-terminal");
        slavePath_ = ptsname(master_);
        slave_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~PseudoTerminal() {
        close(slave_);
        close(master_);
    }
    void LinkAs(const std::string& link) const { ASSERT_EQ(symlink(slavePath_.c_str(), link.c_str()), 0); }
    termios Settings() const {
        termios t{};
        tcgetattr(slave_, &t);
        return t;
    }
    void SetSettings(const termios& t) const { tcsetattr(slave_, TCSANOW, &t); }
    bool Exclusive() const {
        int exclusive = 0;
        return ioctl(slave_, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    }
    int Pending() const {
        int n = -1;
        ioctl(slave_, FIONREAD, &n);
        return n;
    }
    // Waits up to `timeoutMs` for input and appends what came; returns its size.
    std::size_t ReadSome(std::string& into, int timeoutMs) const {
        pollfd p{master_, POLLIN, 0};
        char buffer[4096];
        const ssize_t n = poll(&p, 1, timeoutMs) > 0 ? read(master_, buffer, sizeof buffer) : 0;
        if (n > 0) into.append(buffer, static_cast<std::size_t>(n));
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    // Everything that comes until `quietMs` pass without input.
    std::string Drain(int quietMs) const {
        std::string all;
        while (ReadSome(all, quietMs) > 0) {
        }
        return all;
    }
    void WriteMaster(std::string_view bytes) const {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) done += static_cast<std::size_t>(n);
            pollfd p{master_, POLLOUT, 0};
            if (n <= 0 && (errno != EAGAIN || poll(&p, 1, 100) < 0)) break;
        }
    }
    const std::string& slavePath() const { return slavePath_; }

private:
    int master_ = -1, slave_ = -1;
    std::string slavePath_;
};

// A line mode unlike both the default and raw mode: 4800 baud, two stop bits,
// canonical input with echo, odd VMIN/VTIME. Closing a port must bring it back.
termios UnusualLineMode(termios t) {
    t.c_cflag |= CSTOPB;
    t.c_lflag |= ICANON | ECHO | ECHOE;
    t.c_iflag |= ICRNL | IXON;
    t.c_oflag |= OPOST | ONLCR;
    t.c_cc[VMIN] = 3;
    t.c_cc[VTIME] = 7;
    cfsetispeed(&t, B4800);
    cfsetospeed(&t, B4800);
    return t;
}

bool SameLineSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b) &&
           std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// Raw binary: no echo, no line editing, no signals, no translation or flow
// control either way, 8 bits, receiver on, modem lines ignored.
bool IsRawMode(const termios& t) {
    return !(t.c_lflag & (ECHO | ECHONL | ICANON | ISIG | IEXTEN)) && !(t.c_oflag & OPOST) &&
           !(t.c_iflag & (IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON)) &&
           (t.c_cflag & CSIZE) == CS8 && !(t.c_cflag & PARENB) && (t.c_cflag & CREAD) && (t.c_cflag & CLOCAL);
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

// A frame: AA 55, length, payload, exclusive-or of the payload, 33 CC.
std::string Frame(const std::string& payload) {
    char sum = 0;
    for (char c : payload) sum ^= c;
    return Bytes({0xAA, 0x55, static_cast<int>(payload.size() & 0xFF), static_cast<int>(payload.size() >> 8)}) +
           payload + sum + Bytes({0x33, 0xCC});
}

std::string Capture(const char* name) { return ReadFile(DataFolder("logger") + "/" + name); }

// The first `count` points of the table beside a capture, against `points`.
std::string CompareWithCapture(const char* name, uint32_t count, const TrackPointArray& points) {
    PointTable want = ReadPointTable(DataFolder("logger") + "/" + name + ".points", kTrackColumns);
    want.rows.resize(std::min<std::size_t>(count, want.rows.size()));
    return CompareWithTable(want, kTrackColumns, points.get(), sizeof(TrackPoint), count);
}

// What the program must send, spelled out byte by byte.
const std::string kSwitchCommand =
    "$RCMD402*2E\r\n" +
    Bytes({0xa0, 0xa2, 0x00, 0x31, 0xa5, 0x00, 0x04, 0x04, 0x00, 0x00, 0xe1, 0x00, 0x08, 0x01, 0x00, 0x00, 0x00,
           0xff, 0x05, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0x05, 0x05, 0x00, 0x00,
           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0x05, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
           0x00, 0x00, 0x04, 0xb2, 0xb0, 0xb3});
const std::string kHandshake = Bytes({0xAA, 0x55, 0x01, 0x00, 0x02, 0x02, 0x33, 0xCC});
const std::string kQuery = Bytes({0xAA, 0x55, 0x01, 0x00, 0x49, 0x49, 0x33, 0xCC});
const std::string kCount = Bytes({0xAA, 0x55, 0x01, 0x00, 0x24, 0x24, 0x33, 0xCC});
const std::string kTransfer = Bytes({0xAA, 0x55, 0x11, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x14, 0x00,
                                     0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x33, 0xCC});
const std::string kStart = Bytes({0xAA, 0x55, 0x01, 0x00, 0x06, 0x06, 0x33, 0xCC});
const std::string kEnd = Bytes({0xAA, 0x55, 0x01, 0x00, 0x44, 0x44, 0x33, 0xCC});

// How the played logger behaves.
struct LoggerPlay {
    std::string nmea = "$GPGGA,101304.250,4530.0000,N,07315.0000,W,1,10,0.8,1013.0,M,,M,,*4F\r\n";
    int unanswered = 0;  // handshakes left unanswered; -1: all
    int queryReply = 73;
    std::string countReply = Bytes({36, 3, 0, 0, 0});
    std::string records;  // sent after the start command
};

// The logger on the master: waits until the program holds the line, talks
// NMEA until the switch command comes, then answers frames until the end.
class PlayedLogger {
public:
    PlayedLogger(const PseudoTerminal& pty, LoggerPlay play) : pty_(pty), play_(std::move(play)), thread_([this] { Run(); }) {}
    ~PlayedLogger() { Join(); }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }
    std::string received;  // every byte the program sent
    termios during{};      // the line settings while the program held it
    bool exclusive = false;
    int handshakes = 0;

private:
    void Run() {
        const auto start = Clock::now();
        while (!(pty_.Exclusive() && IsRawMode(pty_.Settings())) && SecondsSince(start) < 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        during = pty_.Settings();
        exclusive = pty_.Exclusive();
        while (received.find("$RCMD") == std::string::npos && received.find(kEnd) == std::string::npos &&
               SecondsSince(start) < 10) {
            pty_.WriteMaster(play_.nmea);
            pty_.ReadSome(received, 100);
        }
        std::size_t at = received.find("$RCMD");
        if (at == std::string::npos) {
            // Once the line is back in its own mode it echoes the NMEA: not the program's bytes.
            if (received.find(kEnd) != std::string::npos) received.resize(received.find(kEnd) + kEnd.size());
            return;
        }
        for (at += kSwitchCommand.size(); SecondsSince(start) < 40;) {
            const std::size_t length =
                received.size() < at + 4 ? 0 : static_cast<uint8_t>(received[at + 2]) | static_cast<uint8_t>(received[at + 3]) << 8;
            if (received.size() < at + 4 || received.size() < at + length + 7) {
                pty_.ReadSome(received, 100);
                continue;
            }
            const int code = length ? static_cast<uint8_t>(received[at + 4]) : -1;
            at += length + 7;
            if (code == 2 && ++handshakes > play_.unanswered && play_.unanswered >= 0) pty_.WriteMaster(Frame(Bytes({2})));
            if (code == 73) pty_.WriteMaster(Frame(Bytes({play_.queryReply})));
            if (code == 36) pty_.WriteMaster(Frame(play_.countReply));
            if (code == 16) pty_.WriteMaster(Frame(Bytes({16})));
            if (code == 6) pty_.WriteMaster(play_.records);
            if (code == 68) {
                received += pty_.Drain(300);
                return;
            }
        }
    }
    const PseudoTerminal& pty_;
    LoggerPlay play_;
    std::thread thread_;
};

// Records the driver's messages.
struct Messages : DriverHost {
    void ShowMessage(const std::string& path, int id, MessageIcon, const std::string&) override { text += path + ": " + LoadString(id); }
    std::string text;
};

class Devices : public ::testing::Test {
protected:
    void SetUp() override { pty.LinkAs(dir.File("ttyFAKE")); }
    struct Played {
        bool failed;
        uint32_t count;
        TrackPointArray points;
        double seconds;
        std::string received;
        termios during;
        bool exclusive;
        int handshakes;
    };
    Played Download(const LoggerPlay& play) {
        PlayedLogger logger(pty, play);
        Played d{};
        const auto start = Clock::now();
        d.failed = Failed(DownloadLoggerTrack(dir.File("ttyFAKE.rbt"), d.points, d.count));
        d.seconds = SecondsSince(start);
        logger.Join();
        d.received = logger.received;
        d.during = logger.during;
        d.exclusive = logger.exclusive;
        d.handshakes = logger.handshakes;
        return d;
    }
    TempDir dir;
    PseudoTerminal pty;
};

}  // namespace

TEST_F(Devices, OnlyTerminalsAreOpenedAndNothingIsWrittenElsewhere) {
    ASSERT_EQ(symlink("/dev/null", dir.File("ttyNUL").c_str()), 0);
    WriteFile(dir.File("ttyREG"), "keep\n");
    ASSERT_EQ(mkdir(dir.File("ttyDIR").c_str(), 0755), 0);
    TrackPoint point{};
    const ExportEntry entry{&point, 0.0f};
    for (const char* name : {"ttyNUL", "ttyREG", "ttyDIR", "ttyNOPE9f3a", "null", "zero"})
        for (const char* ext : {".com", ".rbt"}) {
            const std::string path = dir.File(std::string(name) + ext);
            SerialPort port;
            const auto start = Clock::now();
            EXPECT_FALSE(port.Open(path)) << path;
            EXPECT_EQ(SendNmeaToPort(path, &entry, 1, kAllOptions), 1) << path;
            TrackPointArray points;
            uint32_t count = 7;
            EXPECT_TRUE(Failed(DownloadLoggerTrack(path, points, count))) << path;
            EXPECT_EQ(count, 0u);
            EXPECT_LT(SecondsSince(start), 0.5) << path;  // refused at once
        }
    EXPECT_EQ(ReadFile(dir.File("ttyREG")), "keep\n");
    EXPECT_FALSE(FileExists(dir.File("ttyNOPE9f3a")));
    // D + T first, links followed, whatever the extension; else /dev/T (ptmx
    // is a terminal there), unless a link of that title lies in the folder.
    SerialPort port;
    ASSERT_TRUE(port.Open(dir.File("ttyFAKE.anything")));
    EXPECT_EQ(port.device(), dir.File("ttyFAKE"));
    port.Close();
    ASSERT_TRUE(port.Open(pty.slavePath() + ".rbt"));
    EXPECT_EQ(port.device(), pty.slavePath());
    port.Close();
    ASSERT_TRUE(port.Open(dir.File("ptmx.com")));
    EXPECT_EQ(port.device(), "/dev/ptmx");
    port.Close();
    pty.LinkAs(dir.File("ptmx"));
    ASSERT_TRUE(port.Open(dir.File("ptmx.com")));
    EXPECT_EQ(port.device(), dir.File("ptmx"));
}

TEST_F(Devices, APortIsRawExclusiveBoundedAndRestoredOnClose) {
    const termios before = UnusualLineMode(pty.Settings());
    pty.SetSettings(before);
    ASSERT_FALSE(pty.Exclusive());
    auto closing = Clock::now();
    {
        SerialPort port;
        ASSERT_TRUE(port.Open(dir.File("ttyFAKE.com")));
        EXPECT_TRUE(pty.Exclusive());
        termios now = pty.Settings();
        EXPECT_TRUE(IsRawMode(now));
        EXPECT_EQ(cfgetospeed(&now), static_cast<speed_t>(B4800));  // opening keeps the speed
        // Binary bytes pass both ways untouched.
        const std::string binary("\r\n\x03\x04\x11\x13\x7f\x15\x00\xff\r", 11);
        pty.WriteMaster(binary);
        char in[32] = {};
        ASSERT_EQ(port.Read(in, binary.size(), 1000), binary.size());
        EXPECT_EQ(std::string(in, binary.size()), binary);
        EXPECT_EQ(port.Write(binary.data(), binary.size(), 1000), binary.size());
        std::string out;
        while (out.size() < binary.size() && pty.ReadSome(out, 1000) > 0) {
        }
        EXPECT_EQ(out, binary);
        // 8N1 with a speed the line knows; one it does not know keeps the previous speed.
        EXPECT_TRUE(port.SetLine8N1(57600));
        now = pty.Settings();
        EXPECT_EQ(cfgetospeed(&now), static_cast<speed_t>(B57600));
        EXPECT_EQ(now.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
        EXPECT_FALSE(port.SetLine8N1(kNmeaBaudMask));
        EXPECT_FALSE(port.SetLine8N1(4801));
        now = pty.Settings();
        EXPECT_EQ(cfgetospeed(&now), static_cast<speed_t>(B57600));
        // Reads and writes end in the time they are given, whether a few bytes
        // come, or nobody reads the other end.
        pty.WriteMaster("ab");
        auto start = Clock::now();
        EXPECT_EQ(port.Read(in, 10, 300), 2u);
        EXPECT_GE(SecondsSince(start), 0.29);
        EXPECT_LT(SecondsSince(start), 1.0);
        const std::string big(1 << 20, 'x');
        start = Clock::now();
        EXPECT_LT(port.Write(big.data(), big.size(), 300), big.size());
        EXPECT_GE(SecondsSince(start), 0.29);
        EXPECT_LT(SecondsSince(start), 1.5);
        // Purging drops what waits in both directions.
        pty.WriteMaster("pending");
        usleep(50000);
        port.Purge();
        EXPECT_EQ(port.Read(in, 1, 100), 0u);
        pty.Drain(50);
        port.Write(big.data(), 4096, 100);  // output the other side never reads
        closing = Clock::now();
    }
    EXPECT_LT(SecondsSince(closing), 3.0);
    EXPECT_FALSE(pty.Exclusive());
    EXPECT_TRUE(SameLineSettings(pty.Settings(), before));
}

TEST_F(Devices, LoggerDownloadOnALineInTheKernelDefaultMode) {
    const termios before = pty.Settings();
    LoggerPlay play;
    play.unanswered = 1;  // the second handshake gets its answer
    play.records = Capture("three.frames");
    const Played d = Download(play);
    EXPECT_FALSE(d.failed);
    const std::string differences = CompareWithCapture("three.frames", d.count, d.points);
    EXPECT_TRUE(differences.empty()) << differences;
    EXPECT_EQ(d.received, kSwitchCommand + kHandshake + kHandshake + kQuery + kCount + kTransfer + kStart + kEnd);
    EXPECT_TRUE(d.exclusive);
    EXPECT_TRUE(IsRawMode(d.during));
    EXPECT_EQ(cfgetospeed(&d.during), cfgetospeed(&before));  // the speed stays
    EXPECT_FALSE(pty.Exclusive());
    EXPECT_TRUE(SameLineSettings(pty.Settings(), before));
    // Two half-second pauses and one unanswered handshake (2 s and 5 ms a byte).
    EXPECT_GE(d.seconds, 3.0);
    EXPECT_LT(d.seconds, 6.0);
}

TEST_F(Devices, LoggerRepliesDecideWhatIsTaken) {
    const termios before = UnusualLineMode(pty.Settings());
    pty.SetSettings(before);  // settings other than raw mode stay as they were
    const std::string asked = kSwitchCommand + kHandshake + kQuery, counted = asked + kCount;
    const std::string transferred = counted + kTransfer + kStart + kEnd;
    const struct {
        const char* what;
        LoggerPlay play;
        const char* capture;
        bool failed;
        uint32_t count;
        std::string received;
        double seconds = 40;  // at most
    } rows[] = {
        {"fewer records than announced", {.countReply = Bytes({36, 4, 0, 0, 0}), .records = Capture("three.frames")},
         "three.frames", false, 3, transferred},
        {"a frame cut off", {.records = Capture("cut_frame.frames")}, "cut_frame.frames", false, 1, transferred},
        {"a short record frame", {.records = Capture("short_record.frames")}, "short_record.frames", false, 2, transferred},
        // Nothing large is allocated for the largest count.
        {"the largest count", {.countReply = Bytes({36, 0xFF, 0xFF, 0xFF, 0xFF}), .records = Capture("three.frames")},
         "three.frames", false, 3, transferred},
        // One announced, three sent: one taken, and the end frame follows at once.
        {"one announced", {.countReply = Bytes({36, 1, 0, 0, 0}), .records = Capture("three.frames")}, "three.frames", false,
         1, transferred, 2.0},
        // First byte not "$": no NMEA, only the end frame goes out.
        {"no NMEA", {.nmea = "GPGGA,101304.250,,,,,0,00,,,M,,M,,*5C\r\n"}, "", true, 0, kEnd},
        {"the query answered with another code", {.queryReply = 72}, "", true, 0, asked + kEnd},
        {"a count reply too short to hold a count", {.countReply = Bytes({36, 3})}, "", true, 0, counted + kEnd},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const Played d = Download(row.play);
        EXPECT_EQ(d.failed, row.failed);
        ASSERT_EQ(d.count, row.count);
        if (row.count) {
            const std::string differences = CompareWithCapture(row.capture, d.count, d.points);
            EXPECT_TRUE(differences.empty()) << differences;
        }
        EXPECT_EQ(d.received, row.received);
        EXPECT_LT(d.seconds, row.seconds);
        EXPECT_TRUE(IsRawMode(d.during));
        EXPECT_TRUE(d.during.c_cflag & CSTOPB);
        EXPECT_FALSE(pty.Exclusive());
        EXPECT_TRUE(SameLineSettings(pty.Settings(), before));
    }
    // None stored: no transfer is asked for; the driver says the track is empty.
    LoggerPlay none;
    none.countReply = Bytes({36, 0, 0, 0, 0});
    PlayedLogger logger(pty, none);
    Messages host;
    CurrentTrack track;
    EXPECT_EQ(LoadTrack(track, dir.File("ttyFAKE.rbt"), host), 1);
    logger.Join();
    EXPECT_EQ(host.text, dir.File("ttyFAKE.rbt") + ": No track point in the file.");
    EXPECT_EQ(logger.received, counted + kEnd);
}

TEST_F(Devices, LoggerGivesUpAfterTenUnansweredHandshakes) {
    LoggerPlay play;
    play.unanswered = -1;
    const Played d = Download(play);
    EXPECT_TRUE(d.failed);
    EXPECT_EQ(d.count, 0u);
    std::string expected = kSwitchCommand;
    for (int i = 0; i < 10; ++i) expected += kHandshake;
    EXPECT_EQ(d.received, expected + kEnd);
    // Each attempt waits 2 s and 5 ms a byte for the 4 bytes of a reply.
    EXPECT_GE(d.seconds, 10 * 2.02);
    EXPECT_LT(d.seconds, 25.0);
    EXPECT_FALSE(pty.Exclusive());
}

TEST_F(Devices, BatchDownloadsIntoTheTitleWithTheOutputExtension) {
    char previous[4096];
    ASSERT_TRUE(getcwd(previous, sizeof previous));
    ASSERT_EQ(chdir(dir.path().c_str()), 0);  // ferolin ttyFAKE.rbt txt, in the folder of the link
    LoggerPlay play;
    play.records = Capture("three.frames");
    PlayedLogger logger(pty, play);
    std::ostringstream out, err;
    EXPECT_EQ(FerolinMain({"ttyFAKE.rbt", "txt"}, out, err, nullptr), 0);
    logger.Join();
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_EQ(err.str(), "");
    const std::string text = ReadFile(dir.File("ttyFAKE.txt"));
    EXPECT_NE(text.find("\r\n02573\t09/03/2007\t10:13:04.250\t"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n65535\t31/12/2026\t23:59:59.500\t"), std::string::npos);
    EXPECT_NE(text.find("\r\n04371\t01/01/2010\t00:00:00.000\t"), std::string::npos);
}

namespace {

// An NMEA listener on the master: each CR LF terminated line with the moment
// it arrived and the line settings then.
struct Line {
    std::string text;
    Clock::time_point at;
    int64_t utc;
    termios settings;
    bool exclusive;
};
class Listener {
public:
    explicit Listener(const PseudoTerminal& pty) : pty_(pty), thread_([this] { Run(); }) {}
    ~Listener() { Stop(); }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    std::vector<Line> lines;
    std::string rest;  // bytes after the last CR LF

private:
    void Run() {
        for (bool last = false; !last;) {
            last = stop_;
            if (pty_.ReadSome(rest, 50) > 0) last = false;
            for (std::size_t end; (end = rest.find("\r\n")) != std::string::npos; rest.erase(0, end + 2))
                lines.push_back({rest.substr(0, end), Clock::now(), std::time(nullptr), pty_.Settings(), pty_.Exclusive()});
        }
    }
    const PseudoTerminal& pty_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The line's body when its checksum (two upper-case digits) is right.
std::string CheckedBody(const std::string& line) {
    const auto star = line.rfind('*');
    if (star == std::string::npos || star + 3 != line.size()) return "no checksum: " + line;
    uint8_t sum = 0;
    for (std::size_t i = 1; i < star; ++i) sum ^= static_cast<uint8_t>(line[i]);
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", sum);
    return line.substr(star + 1) == hex ? line.substr(0, star) : "bad checksum: " + line;
}

TrackPoint Fix(double lat, double lon, int sats, float pdop, float hdop, float vdop, float speed, float direction) {
    TrackPoint p{};  // its own date and time never go to the port
    p.year = 2007, p.month = 3, p.day = 9, p.hour = 10, p.latitude = lat, p.longitude = lon;
    p.satellites = static_cast<int8_t>(sats), p.pdop = pdop, p.hdop = hdop, p.vdop = vdop;
    p.speed = speed, p.direction = direction;
    return p;
}
const TrackPoint kPoints[] = {Fix(-33.5, 2.25, 8, 1.5f, 0.9f, 1.2f, 1.852f, 90.5f), Fix(45.75, -73.125, 12, 2, 1, 1.5f, 0, 0),
                              Fix(0, 180, 0, 0, 0, 0, 0, 0)};
const ExportEntry kEntries[] = {{&kPoints[0], 545.4f}, {&kPoints[1], -12.5f}, {&kPoints[2], 0}};

// The sentences of each point, "T" for the time and "D" for the date.
const char* const kSentences[3][5] = {
    {"$GPGSA,A,3,,,,,,,,,,,,,1.5,0.9,1.2,*10", "$GPGGA,T,3330.0000,S,00215.0000,E,1,08,0.9,545.4,M,,M,,",
     "$GPRMC,T,A,3330.0000,S,00215.0000,E,1.000000,90.500000,D,,", "$GPGLL,3330.0000,S,00215.0000,E,T,A",
     "$GPVTG,90.500000,T,,M,1.000000,N,1.852000,K*63"},
    {"$GPGSA,A,3,,,,,,,,,,,,,2.0,1.0,1.5,*19", "$GPGGA,T,4545.0000,N,07307.5000,W,1,12,1.0,-12.5,M,,M,,",
     "$GPRMC,T,A,4545.0000,N,07307.5000,W,0.000000,0.000000,D,,", "$GPGLL,4545.0000,N,07307.5000,W,T,A",
     "$GPVTG,0.000000,T,,M,0.000000,N,0.000000,K*50"},
    {"$GPGSA,A,3,,,,,,,,,,,,,0.0,0.0,0.0,*1E", "$GPGGA,T,0000.0000,N,18000.0000,E,1,00,0.0,0.0,M,,M,,",
     "$GPRMC,T,A,0000.0000,N,18000.0000,E,0.000000,0.000000,D,,", "$GPGLL,0000.0000,N,18000.0000,E,T,A",
     "$GPVTG,0.000000,T,,M,0.000000,N,0.000000,K*50"},
};

// The sentence with the time and date it carries put back as T and D; the
// time (seconds of the day) and date text it carried.
std::string Template(const std::string& body, double& seconds, std::string& date) {
    std::vector<std::string> fields(1);
    for (char c : body) {
        if (c == ',') fields.emplace_back();
        else fields.back().push_back(c);
    }
    const std::size_t t = fields[0] == "$GPGLL" ? 5 : 1;
    const std::string time = fields.size() > t ? fields[t] : "";
    if (time.size() != 10 || time[6] != '.') return "no time: " + body;
    const CNumbers cNumbers;
    seconds = std::stoi(time.substr(0, 2)) * 3600 + std::stoi(time.substr(2, 2)) * 60 + std::stod(time.substr(4));
    fields[t] = "T";
    if (fields[0] == "$GPRMC") date = fields[9], fields[9] = "D";
    std::string out = fields[0];
    for (std::size_t i = 1; i < fields.size(); ++i) out += "," + fields[i];
    return out;
}

std::string UtcDate(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::snprintf(text, sizeof text, "%02d%02d%02d", utc.tm_mday, utc.tm_mon + 1, utc.tm_year % 100);
    return text;
}

double DayDifference(double a, double b) { return std::remainder(a - b, 86400.0); }

}  // namespace

TEST_F(Devices, NmeaReplayOnePointASecondWithTheCurrentTime) {
    const termios before = pty.Settings();  // the kernel's default mode
    pty.WriteMaster("stale input\n");        // purged before the first sentence
    pty.Drain(100);                          // its echo
    ASSERT_GT(pty.Pending(), 0);
    Listener listener(pty);
    const auto start = Clock::now();
    EXPECT_EQ(SendNmeaToPort(dir.File("ttyFAKE.com"), kEntries, 3, kAllOptions), 0);
    const double took = SecondsSince(start);
    listener.Stop();
    EXPECT_GE(took, 3.0);  // a second after each point, the last one included
    EXPECT_LT(took, 4.0);
    EXPECT_EQ(listener.rest, "");
    ASSERT_EQ(listener.lines.size(), 15u);
    double previous = 0;
    for (std::size_t k = 0; k < 3; ++k) {
        double pointTime = -1;
        for (std::size_t s = 0; s < 5; ++s) {
            const Line& line = listener.lines[5 * k + s];
            if (std::strchr(kSentences[k][s], '*')) {
                EXPECT_EQ(line.text, kSentences[k][s]);
                continue;
            }
            double seconds = -1;
            std::string date;
            EXPECT_EQ(Template(CheckedBody(line.text), seconds, date), kSentences[k][s]);
            if (pointTime < 0) pointTime = seconds;
            EXPECT_EQ(seconds, pointTime) << line.text;  // one time for all sentences of a point
            // The current UTC time with milliseconds, and the current date.
            EXPECT_LT(std::abs(DayDifference(seconds, static_cast<double>(line.utc % 86400))), 1.5) << line.text;
            if (!date.empty()) {
                EXPECT_TRUE(date == UtcDate(line.utc) || date == UtcDate(line.utc - 2)) << date;
            }
            EXPECT_TRUE(line.exclusive);
            EXPECT_TRUE(IsRawMode(line.settings));
        }
        if (k > 0) {
            const double gap = std::chrono::duration<double>(listener.lines[5 * k].at - listener.lines[5 * k - 5].at).count();
            EXPECT_GE(gap, 0.95);
            EXPECT_LT(gap, 1.5);
            EXPECT_GE(DayDifference(pointTime, previous), 0.99);
            EXPECT_LT(DayDifference(pointTime, previous), 1.5);
        }
        previous = pointTime;
    }
    EXPECT_EQ(pty.Pending(), 0);
    EXPECT_FALSE(pty.Exclusive());
    EXPECT_TRUE(SameLineSettings(pty.Settings(), before));
}

TEST_F(Devices, NmeaReplayOptionWordChoosesSentencesAndBaudRate) {
    const termios before = UnusualLineMode(pty.Settings());
    pty.SetSettings(before);
    const std::string path = dir.File("ttyFAKE.com");
    const auto pace = std::chrono::milliseconds(40);
    const struct {
        uint32_t options, count;
        std::vector<std::string> sentences;
        speed_t speed;
    } rows[] = {
        {kNmeaGga | 57600, 2, {kSentences[0][1], kSentences[1][1]}, B57600},
        // The rate asked for when nothing is stored (0xFFFFF): no line has it,
        // the speed stays, the sentences still go out.
        {kNmeaRmc | kNmeaVtg | 0xFFFFF, 1, {kSentences[0][2], kSentences[0][4]}, B4800},
        // Option word 0: the port is opened, nothing is sent, the pace kept.
        {0, 3, {}, B4800},
    };
    for (const auto& row : rows) {
        Listener listener(pty);
        const auto start = Clock::now();
        EXPECT_EQ(SendNmeaToPortPaced(path, kEntries, row.count, row.options, pace), 0);
        EXPECT_GE(SecondsSince(start), 0.039 * row.count);
        listener.Stop();
        ASSERT_EQ(listener.lines.size(), row.sentences.size());
        for (std::size_t i = 0; i < row.sentences.size(); ++i) {
            double seconds;
            std::string date;
            const std::string& text = listener.lines[i].text;
            EXPECT_EQ(std::strchr(row.sentences[i].c_str(), '*') ? text : Template(CheckedBody(text), seconds, date),
                      row.sentences[i]);
            EXPECT_EQ(cfgetospeed(&listener.lines[i].settings), row.speed);
            EXPECT_EQ(listener.lines[i].settings.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
        }
        EXPECT_EQ(listener.rest, "");
        EXPECT_TRUE(SameLineSettings(pty.Settings(), before));
    }
}

TEST_F(Devices, BatchReplaysAFileToThePortItsTitleNames) {
    // ferolin DIR/*.log com: DIR/ttyFAKE.com names the port through the link
    // DIR/ttyFAKE; DIR/nowhere.com names none, and nothing is created.
    WriteFile(dir.File("ttyFAKE.log"), "About total Numbers: 2\n=====================\n"
                                      "Record: 1\nAltitude: 100\nLatitude: 45.5\nLongitude: -73.25\n=====================\n"
                                      "Record: 2\nAltitude: 200\nLatitude: 45.75\nLongitude: -73.125\n=====================\n");
    WriteFile(dir.File("nowhere.log"), "About total Numbers: 1\n=====================\nRecord: 1\n=====================\n");
    Listener listener(pty);
    std::ostringstream out, err;
    EXPECT_EQ(FerolinMain({"--options", std::to_string(kNmeaGga | 9600), dir.File("*.log"), "com"}, out, err, nullptr), 1);
    listener.Stop();
    ASSERT_EQ(listener.lines.size(), 2u);
    EXPECT_EQ(CheckedBody(listener.lines[0].text).substr(17), ",4530.0000,N,07315.0000,W,1,00,0.0,100.0,M,,M,,");
    EXPECT_EQ(CheckedBody(listener.lines[1].text).substr(17), ",4545.0000,N,07307.5000,W,1,00,0.0,200.0,M,,M,,");
    EXPECT_EQ(cfgetospeed(&listener.lines[0].settings), static_cast<speed_t>(B9600));
    EXPECT_EQ(err.str(), dir.File("nowhere.com") + ": Cannot write to the file.\n");
    EXPECT_FALSE(FileExists(dir.File("nowhere.com")));
}
