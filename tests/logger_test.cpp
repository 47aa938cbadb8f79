#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "convert/driver.h"
#include "core/strings.h"
#include "devices/logger.h"
#include "pty_support.h"
#include "reader_test_support.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

static_assert(std::endian::native == std::endian::little);

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

// A frame as the logger's framing defines it: AA 55, length, payload,
// exclusive-or of the payload, 33 CC.
std::string Frame(const std::string& payload) {
    std::string f = Bytes({0xAA, 0x55, static_cast<int>(payload.size() & 0xFF),
                           static_cast<int>(payload.size() >> 8)});
    f += payload;
    char sum = 0;
    for (char c : payload) sum ^= c;
    f += sum;
    f += Bytes({0x33, 0xCC});
    return f;
}

template <typename T>
void Put(std::string& s, T value) {
    char b[sizeof(T)];
    std::memcpy(b, &value, sizeof b);
    s.append(b, sizeof b);
}

struct Record {
    uint16_t number;
    uint8_t year, month, day, hour, minute;
    float seconds;
    double latitude, longitude;
    float altitude, pdop, hdop, speed, direction;
    uint8_t satellites;
};

// The 52-byte record payload. The unused bytes carry control characters
// that a line in its default mode would swallow or translate.
std::string RecordPayload(const Record& r) {
    std::string p(1, '\x07');
    Put(p, r.number);
    p += static_cast<char>(r.year);
    p += static_cast<char>(r.month);
    p += static_cast<char>(r.day);
    p += '\x03';
    p += static_cast<char>(r.hour);
    p += static_cast<char>(r.minute);
    p += "\x11\x13";
    Put(p, r.seconds);
    Put(p, r.latitude);
    Put(p, r.longitude);
    Put(p, r.altitude);
    Put(p, r.pdop);
    Put(p, r.hdop);
    Put(p, r.speed);
    Put(p, r.direction);
    p += static_cast<char>(r.satellites);
    return p;
}

const Record kRecords[] = {
    // 0x0A0D: CR and LF in the record number.
    {0x0A0D, 7, 3, 9, 10, 13, 4.25f, 45.5, -73.25, 1013.0f, 1.5f, 0.75f, 13.0f, 10.0f, 0x0A},
    {65535, 26, 12, 31, 23, 59, 59.5f, -33.875, 151.25, -4.5f, 2.0f, 1.25f, 0.5f, 359.5f, 4},
    {0x1113, 10, 1, 1, 0, 0, 0.0f, 0.0, 0.0, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0x13},
};

// Packed fields are compared by value (unary plus), never bound by reference.
void ExpectPoint(const TrackPoint& p, const Record& r) {
    using namespace ferolin_test;
    EXPECT_EQ(Fields(p), Fields(WithFix(DatedPoint(r.latitude, r.longitude, 2000 + r.year, r.month,
                                                   r.day, r.hour, r.minute, r.seconds),
                                        {.record = r.number, .altitude = r.altitude,
                                         .speed = r.speed, .direction = r.direction,
                                         .satellites = r.satellites, .pdop = r.pdop,
                                         .hdop = r.hdop})));
}

// What the program must send, spelled out byte by byte.
const std::string kSwitchCommand =
    "$RCMD402*2E\r\n" +
    Bytes({0xa0, 0xa2, 0x00, 0x31, 0xa5, 0x00, 0x04, 0x04, 0x00, 0x00, 0xe1, 0x00, 0x08, 0x01, 0x00,
           0x00, 0x00, 0xff, 0x05, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff,
           0x05, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0x05, 0x05, 0x00,
           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0xb2, 0xb0, 0xb3});
const std::string kHandshakeFrame = Bytes({0xAA, 0x55, 0x01, 0x00, 0x02, 0x02, 0x33, 0xCC});
const std::string kQueryFrame = Bytes({0xAA, 0x55, 0x01, 0x00, 0x49, 0x49, 0x33, 0xCC});
const std::string kCountFrame = Bytes({0xAA, 0x55, 0x01, 0x00, 0x24, 0x24, 0x33, 0xCC});
const std::string kTransferFrame =
    Bytes({0xAA, 0x55, 0x11, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x14, 0x00, 0x00,
           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x33, 0xCC});
const std::string kStartFrame = Bytes({0xAA, 0x55, 0x01, 0x00, 0x06, 0x06, 0x33, 0xCC});
const std::string kEndFrame = Bytes({0xAA, 0x55, 0x01, 0x00, 0x44, 0x44, 0x33, 0xCC});

// How the played logger behaves.
struct LoggerPlay {
    std::string nmea = "$GPGGA,101304.250,4530.0000,N,07315.0000,W,1,10,0.8,1013.0,M,,M,,*4F\r\n";
    int unansweredHandshakes = 0;  // -1: never answers
    int queryReply = 73;
    std::string countReply = Bytes({36, 3, 0, 0, 0});
    std::string afterStart;  // the record frames
};

// The logger on the master side of the pseudo-terminal: it waits until the
// program has taken the line, talks NMEA until the switch command comes,
// then answers frames until the end frame 68.
class PlayedLogger {
public:
    PlayedLogger(const PseudoTerminal& pty, LoggerPlay play)
        : pty_(pty), play_(std::move(play)), thread_([this] { Run(); }) {}
    ~PlayedLogger() { Join(); }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

    std::string received;  // every byte the program sent
    termios during{};       // the line settings while the program held it
    bool exclusive = false;
    int handshakes = 0;

private:
    void Run() {
        const auto start = std::chrono::steady_clock::now();
        while (!(pty_.Exclusive() && IsRawMode(pty_.Settings()))) {
            if (SecondsSince(start) > 10) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        during = pty_.Settings();
        exclusive = pty_.Exclusive();
        // NMEA until the switch command (or the end frame) comes.
        while (received.find("$RCMD") == std::string::npos &&
               received.find(kEndFrame) == std::string::npos && SecondsSince(start) < 10) {
            pty_.WriteMaster(play_.nmea);
            pty_.ReadSome(received, 100);
        }
        std::size_t at = received.find("$RCMD");
        if (at == std::string::npos) {
            // The logger stops listening after the end frame; the line's echo
            // of its NMEA, once the program has restored the line's mode, is
            // none of the program's bytes.
            const auto end = received.find(kEndFrame);
            if (end != std::string::npos) received.resize(end + kEndFrame.size());
            return;
        }
        at += kSwitchCommand.size();
        while (SecondsSince(start) < 40) {
            if (received.size() < at + 4) {
                pty_.ReadSome(received, 100);
                continue;
            }
            const std::size_t length = static_cast<uint8_t>(received[at + 2]) |
                                       static_cast<uint8_t>(received[at + 3]) << 8;
            if (received.size() < at + length + 7) {
                pty_.ReadSome(received, 100);
                continue;
            }
            const int code = length ? static_cast<uint8_t>(received[at + 4]) : -1;
            at += length + 7;
            switch (code) {
                case 2:
                    ++handshakes;
                    if (play_.unansweredHandshakes >= 0 &&
                        handshakes > play_.unansweredHandshakes)
                        pty_.WriteMaster(Frame(Bytes({2})));
                    break;
                case 73: pty_.WriteMaster(Frame(Bytes({play_.queryReply}))); break;
                case 36: pty_.WriteMaster(Frame(play_.countReply)); break;
                case 16: pty_.WriteMaster(Frame(Bytes({16}))); break;
                case 6: pty_.WriteMaster(play_.afterStart); break;
                case 68:
                    received += pty_.DrainMaster(300);
                    return;
            }
        }
    }

    const PseudoTerminal& pty_;
    LoggerPlay play_;
    std::thread thread_;
};

std::string Records(int n) {
    std::string frames;
    for (int i = 0; i < n; ++i) frames += Frame(RecordPayload(kRecords[i]));
    return frames;
}

struct Download {
    ReadStatus status;
    uint32_t count;
    TrackPointArray points;
    double seconds;
};

// A download from the played logger, with what the logger saw of it.
struct Played : Download {
    std::string received;
    termios during{};
    bool exclusive = false;
    int handshakes = 0;
};

class LoggerDownload : public ::testing::Test {
protected:
    void SetUp() override {
        pty.LinkAs(dir.File("ttyFAKE"));
        path = dir.File("ttyFAKE.rbt");
    }
    Played Play(const LoggerPlay& play) {
        PlayedLogger logger(pty, play);
        Played d{};
        const auto start = std::chrono::steady_clock::now();
        d.status = DownloadLoggerTrack(path, d.points, d.count);
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
    std::string path;
};

}  // namespace

TEST_F(LoggerDownload, ReadsEveryRecordOnALineInTheKernelDefaultMode) {
    const termios before = pty.Settings();  // untouched: the kernel's default
    LoggerPlay play;
    play.unansweredHandshakes = 1;  // the second handshake gets its answer
    play.afterStart = Records(3);
    Played d = Play(play);

    EXPECT_EQ(d.status, ReadStatus::kOk);
    ASSERT_EQ(d.count, 3u);
    for (int i = 0; i < 3; ++i) ExpectPoint(d.points[i], kRecords[i]);
    EXPECT_EQ(+d.points[0].year, 2007);
    EXPECT_EQ(+d.points[1].record, 65535);

    EXPECT_EQ(d.received, kSwitchCommand + kHandshakeFrame + kHandshakeFrame + kQueryFrame +
                                   kCountFrame + kTransferFrame + kStartFrame + kEndFrame);
    EXPECT_TRUE(d.exclusive);
    EXPECT_TRUE(IsRawMode(d.during));
    EXPECT_EQ(cfgetospeed(&d.during), cfgetospeed(&before));  // the speed stays
    EXPECT_FALSE(pty.Exclusive());
    EXPECT_TRUE(SameLineSettings(pty.Settings(), before));
    // Two half-second pauses and one unanswered handshake (2 s and 5 ms a byte).
    EXPECT_GE(d.seconds, 3.0);
    EXPECT_LT(d.seconds, 6.0);
}

TEST_F(LoggerDownload, FewerRecordsThanAnnouncedKeepsThoseThatCame) {
    const termios before = UnusualLineMode(pty.Settings());
    pty.SetSettings(before);
    LoggerPlay play;
    play.afterStart = Records(2);  // three announced
    Played d = Play(play);

    EXPECT_EQ(d.status, ReadStatus::kOk);
    ASSERT_EQ(d.count, 2u);
    ExpectPoint(d.points[0], kRecords[0]);
    ExpectPoint(d.points[1], kRecords[1]);
    EXPECT_EQ(d.received, kSwitchCommand + kHandshakeFrame + kQueryFrame + kCountFrame +
                                   kTransferFrame + kStartFrame + kEndFrame);
    EXPECT_TRUE(IsRawMode(d.during));
    EXPECT_EQ(cfgetospeed(&d.during), static_cast<speed_t>(B4800));
    EXPECT_TRUE(d.during.c_cflag & CSTOPB);  // line settings other than raw mode stay
    EXPECT_TRUE(SameLineSettings(pty.Settings(), before));
}

TEST_F(LoggerDownload, RepliesAndRecordFramesDecideWhatIsTaken) {
    const std::string asked = kSwitchCommand + kHandshakeFrame + kQueryFrame;
    const std::string counted = asked + kCountFrame;
    const std::string transferred = counted + kTransferFrame + kStartFrame + kEndFrame;
    const struct {
        const char* what;
        LoggerPlay play;
        ReadStatus status;
        uint32_t count;  // the first records of kRecords
        std::string received;
        double seconds = 40;  // at most
    } rows[] = {
        {"the second record frame stops after 30 of its 59 bytes",
         {.countReply = Bytes({36, 4, 0, 0, 0}),
          .afterStart = Records(1) + Frame(RecordPayload(kRecords[1])).substr(0, 30)},
         ReadStatus::kOk, 1, transferred},
        // A whole frame with code 7 but only 51 payload bytes is no record:
        // the records end there, the frame after it is not taken.
        {"a short record frame",
         {.afterStart = Records(2) + Frame(RecordPayload(kRecords[2]).substr(0, 51)) + Records(1)},
         ReadStatus::kOk, 2, transferred},
        // FF FF FF FF announced, two sent: nothing large is allocated.
        {"the largest count", {.countReply = Bytes({36, 0xFF, 0xFF, 0xFF, 0xFF}), .afterStart = Records(2)},
         ReadStatus::kOk, 2, transferred},
        // One announced, three sent: one taken, and the end frame follows at once.
        {"one announced", {.countReply = Bytes({36, 1, 0, 0, 0}), .afterStart = Records(3)},
         ReadStatus::kOk, 1, transferred, 2.0},
        // First byte not "$": the logger is not emitting NMEA; only the end
        // frame goes out.
        {"no NMEA", {.nmea = "GPGGA,101304.250,,,,,0,00,,,M,,M,,*5C\r\n"}, ReadStatus::kNotThisFormat, 0, kEndFrame},
        {"the query answered with another code", {.queryReply = 72}, ReadStatus::kNotThisFormat, 0, asked + kEndFrame},
        {"a count reply too short to hold a count", {.countReply = Bytes({36, 3})},
         ReadStatus::kNotThisFormat, 0,
         counted + kEndFrame},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const Played d = Play(row.play);
        EXPECT_EQ(d.status, row.status);
        ASSERT_EQ(d.count, row.count);
        for (uint32_t i = 0; i < d.count; ++i) ExpectPoint(d.points[i], kRecords[i]);
        if (!row.count) {
            EXPECT_FALSE(d.points);
        }
        EXPECT_EQ(d.received, row.received);
        EXPECT_LT(d.seconds, row.seconds);
        EXPECT_FALSE(pty.Exclusive());
    }

    // None stored: no transfer is asked for; the driver says the track is empty.
    LoggerPlay play;
    play.countReply = Bytes({36, 0, 0, 0, 0});
    PlayedLogger logger(pty, play);
    RecordingHost host;
    CurrentTrack track;
    EXPECT_EQ(LoadTrack(track, path, host), 1);
    logger.Join();
    EXPECT_EQ(host.Texts(), std::vector<std::string>{"No track point in the file."});
    EXPECT_EQ(logger.received, counted + kEndFrame);
}

TEST_F(LoggerDownload, GivesUpAfterTenUnansweredHandshakes) {
    // Each attempt waits 2 s and 5 ms a byte for the 4 bytes of a reply.
    const termios before = pty.Settings();
    LoggerPlay play;
    play.unansweredHandshakes = -1;
    Played d = Play(play);
    EXPECT_EQ(d.status, ReadStatus::kNotThisFormat);
    EXPECT_EQ(d.count, 0u);
    EXPECT_EQ(d.handshakes, 10);
    std::string expected = kSwitchCommand;
    for (int i = 0; i < 10; ++i) expected += kHandshakeFrame;
    EXPECT_EQ(d.received, expected + kEndFrame);
    EXPECT_GE(d.seconds, 10 * 2.02);
    EXPECT_LT(d.seconds, 25.0);
    EXPECT_FALSE(pty.Exclusive());
    EXPECT_TRUE(SameLineSettings(pty.Settings(), before));
}

TEST_F(LoggerDownload, BatchDownloadsIntoTheTitleWithTheOutputExtension) {
    // ferolin ttyFAKE.rbt txt, run in the folder of the link.
    char previous[4096];
    ASSERT_TRUE(getcwd(previous, sizeof previous));
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    LoggerPlay play;
    play.afterStart = Records(3);
    PlayedLogger logger(pty, play);
    RecordingHost host;
    CurrentTrack track;
    EXPECT_FALSE(RunCommandLine({"ttyFAKE.rbt", "txt"}, track, host));
    logger.Join();
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.loaded, std::vector<std::string>{"Downloaded from GPS"});
    const std::string text = ReadFile(dir.File("ttyFAKE.txt"));
    EXPECT_EQ(text.rfind("Generated by Ferolin 1.51\r\n", 0), 0u);
    EXPECT_NE(text.find("\r\n02573\t09/03/2007\t10:13:04.250\t"), std::string::npos);
    EXPECT_NE(text.find("\r\n65535\t31/12/2026\t23:59:59.500\t"), std::string::npos);
    EXPECT_NE(text.find("\r\n04371\t01/01/2010\t00:00:00.000\t"), std::string::npos);
}

TEST(LoggerFrames, FramesAndRecordsFromMemory) {
    struct Memory : LoggerByteSource {
        explicit Memory(std::string b) : bytes(std::move(b)) {}
        std::size_t Read(uint8_t* data, std::size_t size) override {
            const std::size_t n = std::min(size, bytes.size() - at);
            std::memcpy(data, bytes.data() + at, n);
            at += n;
            return n;
        }
        std::string bytes;
        std::size_t at = 0;
    };
    TextBuffer frame;
    const uint8_t payload[] = {0x24, 0x03, 0x00, 0x00, 0x00};
    AppendLoggerFrame(frame, payload, sizeof payload);
    EXPECT_EQ(frame.View(), Bytes({0xAA, 0x55, 0x05, 0x00, 0x24, 0x03, 0x00, 0x00, 0x00, 0x27,
                                  0x33, 0xCC}));

    LoggerReply reply;
    Memory good(std::string(frame.View()));
    EXPECT_TRUE(ReceiveLoggerFrame(good, reply));
    EXPECT_EQ(reply.Code(), 36);
    EXPECT_EQ(reply.length, 5u);

    // A wrong checksum is judged by its code all the same; a wrong start
    // marker, an oversized length or a cut-off frame is no reply.
    const struct {
        std::string bytes;
        int code;
    } bad[] = {
        {Bytes({0xAA, 0x55, 0x01, 0x00, 0x49, 0x00, 0x33, 0xCC}), 73},  // wrong checksum
        {Bytes({0xAA, 0x56, 0x01, 0x00, 0x49, 0x49, 0x33, 0xCC}), 0},   // wrong start marker
        {Bytes({0xAA, 0x55, 0xFD, 0x00, 0x49}), 0},                     // oversized length
        {Bytes({0xAA, 0x55, 0x02, 0x00, 0x49, 0x00, 0x49, 0x33}), 0},   // cut off
        {Bytes({0xAA, 0x55, 0x00, 0x00, 0x07, 0x33, 0xCC}), 0},         // empty, checksum byte 7
    };
    for (const auto& b : bad) {
        Memory memory(b.bytes);
        EXPECT_FALSE(ReceiveLoggerFrame(memory, reply)) << b.code;
        EXPECT_EQ(reply.Code(), b.code);
    }

    // The largest payload that fits: 252 bytes.
    Memory largest(Frame(RecordPayload(kRecords[1]) + std::string(200, '\x55')));
    EXPECT_TRUE(ReceiveLoggerFrame(largest, reply));
    TrackPoint point{};
    EXPECT_TRUE(DecodeLoggerRecord(reply, point));
    ExpectPoint(point, kRecords[1]);

    Memory stream(Records(3) + Frame(Bytes({68})) + Records(1));
    TrackPointArray points;
    uint32_t count = 0;
    EXPECT_EQ(ReceiveLoggerRecords(stream, 0xFFFFFFFFu, points, count), ReadStatus::kOk);
    ASSERT_EQ(count, 3u);
    for (int i = 0; i < 3; ++i) ExpectPoint(points[i], kRecords[i]);

    // Many records: the array keeps growing.
    std::string many;
    for (int i = 0; i < 1000; ++i) {
        Record r = kRecords[i % 3];
        r.number = static_cast<uint16_t>(i);
        many += Frame(RecordPayload(r));
    }
    Memory manyStream(many);
    EXPECT_EQ(ReceiveLoggerRecords(manyStream, 0xFFFFFFFFu, points, count), ReadStatus::kOk);
    ASSERT_EQ(count, 1000u);
    for (uint32_t i = 0; i < count; ++i) ASSERT_EQ(+points[i].record, static_cast<int32_t>(i));
}
