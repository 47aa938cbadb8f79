#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "convert/driver.h"
#include "formats/format_table.h"
#include "core/strings.h"
#include "devices/logger.h"
#include "convert/device_rows.h"
#include "formats/nmea_sentences.h"
#include "pty_support.h"
#include "reader_test_support.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

using SteadyClock = std::chrono::steady_clock;

struct Line {
    std::string text;      // without its CR LF
    SteadyClock::time_point at;
    int64_t utcSeconds;    // system clock when it arrived
    termios settings;      // the line settings then
    bool exclusive;
};

// An NMEA listener on the master: collects CR LF terminated lines with the
// moment each arrived, until told to stop and the line is quiet.
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
        for (;;) {
            const bool last = stop_;
            const std::size_t got = pty_.ReadSome(rest, 50);
            std::size_t end;
            while ((end = rest.find("\r\n")) != std::string::npos) {
                lines.push_back({rest.substr(0, end), SteadyClock::now(), std::time(nullptr),
                                 pty_.Settings(), pty_.Exclusive()});
                rest.erase(0, end + 2);
            }
            if (last && got == 0) return;
        }
    }
    const PseudoTerminal& pty_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

uint8_t Checksum(const std::string& body) {
    uint8_t sum = 0;
    for (std::size_t i = 1; i < body.size(); ++i) sum ^= static_cast<uint8_t>(body[i]);
    return sum;
}

// Splits "body*XX" and checks the two upper-case digits of the checksum.
std::string CheckedBody(const std::string& line) {
    const auto star = line.rfind('*');
    if (star == std::string::npos || star + 3 != line.size()) return "no checksum: " + line;
    const std::string body = line.substr(0, star);
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", Checksum(body));
    if (line.substr(star + 1) != hex) return "bad checksum: " + line;
    return body;
}

// "hhmmss.sss" read as seconds of the day; -1 when it is not that shape.
double TimeOfDay(const std::string& t) {
    if (t.size() != 10 || t[6] != '.') return -1;
    for (std::size_t i = 0; i < t.size(); ++i)
        if (i != 6 && (t[i] < '0' || t[i] > '9')) return -1;
    const ferolin_test::CNumbers cNumbers;
    return std::stoi(t.substr(0, 2)) * 3600 + std::stoi(t.substr(2, 2)) * 60 +
           std::stod(t.substr(4));
}

std::string UtcDate(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[40];
    std::snprintf(text, sizeof text, "%02d%02d%02d", utc.tm_mday, utc.tm_mon + 1,
                  utc.tm_year % 100);
    return text;
}

double DayDifference(double a, double b) {
    double d = a - b;
    if (d > 43200) d -= 86400;
    if (d < -43200) d += 86400;
    return d;
}

TrackPoint MakePoint(double lat, double lon, int sats, float pdop, float hdop, float vdop,
                     float speed, float direction) {
    // The point's own date and time are never sent to the port.
    return ferolin_test::WithFix(ferolin_test::DatedPoint(lat, lon, 2007, 3, 9, 10, 13, 4.25f),
                                 {.speed = speed, .direction = direction, .satellites = sats,
                                  .pdop = pdop, .hdop = hdop, .vdop = vdop});
}

const TrackPoint kPoints[] = {
    MakePoint(-33.5, 2.25, 8, 1.5f, 0.9f, 1.2f, 1.852f, 90.5f),
    MakePoint(45.75, -73.125, 12, 2.0f, 1.0f, 1.5f, 0.0f, 0.0f),
    MakePoint(0.0, 180.0, 0, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f),
};
const float kAltitudes[] = {545.4f, -12.5f, 0.0f};

// The sentences of each point with "T" for the time and "D" for the date.
const std::vector<std::vector<std::string>> kExpected = {
    {"$GPGSA,A,3,,,,,,,,,,,,,1.5,0.9,1.2,*10",
     "$GPGGA,T,3330.0000,S,00215.0000,E,1,08,0.9,545.4,M,,M,,",
     "$GPRMC,T,A,3330.0000,S,00215.0000,E,1.000000,90.500000,D,,",
     "$GPGLL,3330.0000,S,00215.0000,E,T,A",
     "$GPVTG,90.500000,T,,M,1.000000,N,1.852000,K*63"},
    {"$GPGSA,A,3,,,,,,,,,,,,,2.0,1.0,1.5,*19",
     "$GPGGA,T,4545.0000,N,07307.5000,W,1,12,1.0,-12.5,M,,M,,",
     "$GPRMC,T,A,4545.0000,N,07307.5000,W,0.000000,0.000000,D,,",
     "$GPGLL,4545.0000,N,07307.5000,W,T,A",
     "$GPVTG,0.000000,T,,M,0.000000,N,0.000000,K*50"},
    {"$GPGSA,A,3,,,,,,,,,,,,,0.0,0.0,0.0,*1E",
     "$GPGGA,T,0000.0000,N,18000.0000,E,1,00,0.0,0.0,M,,M,,",
     "$GPRMC,T,A,0000.0000,N,18000.0000,E,0.000000,0.000000,D,,",
     "$GPGLL,0000.0000,N,18000.0000,E,T,A",
     "$GPVTG,0.000000,T,,M,0.000000,N,0.000000,K*50"},
};

std::vector<ExportEntry> Entries(int n) {
    std::vector<ExportEntry> entries;
    for (int i = 0; i < n; ++i) entries.push_back({&kPoints[i], kAltitudes[i]});
    return entries;
}

// The time text of a timed sentence ("$GPGGA,T,", "$GPRMC,T,", "...,E,T,A").
std::string TimeField(const std::string& body) {
    if (body.rfind("$GPGLL,", 0) == 0) {
        const auto end = body.rfind(',');
        const auto begin = body.rfind(',', end - 1);
        return body.substr(begin + 1, end - begin - 1);
    }
    const auto begin = body.find(',') + 1;
    return body.substr(begin, body.find(',', begin) - begin);
}

}  // namespace

TEST(NmeaPort, ReplaysEveryPointAtOneSecondPaceWithTheCurrentTime) {
    TempDir dir;
    PseudoTerminal pty;
    pty.LinkAs(dir.File("ttyFAKE"));
    const termios before = pty.Settings();  // the kernel's default mode
    pty.WriteMaster("stale input\n");        // purged before the first sentence
    pty.DrainMaster(100);                    // its echo
    int pending = -1;
    ASSERT_EQ(ioctl(pty.slave(), FIONREAD, &pending), 0);
    ASSERT_GT(pending, 0);

    Listener listener(pty);
    const auto entries = Entries(3);
    const auto start = SteadyClock::now();
    EXPECT_EQ(SendNmeaToPort(dir.File("ttyFAKE.com"), entries.data(), 3, kAllOptions), 0);
    const double took = SecondsSince(start);
    listener.Stop();

    // A second after each point, the last one included.
    EXPECT_GE(took, 3.0);
    EXPECT_LT(took, 4.0);
    EXPECT_EQ(listener.rest, "");
    ASSERT_EQ(listener.lines.size(), 15u);
    std::vector<double> pointTimes;
    for (std::size_t k = 0; k < 3; ++k) {
        const Line& first = listener.lines[5 * k];
        std::string time;
        for (std::size_t s = 0; s < 5; ++s) {
            const Line& line = listener.lines[5 * k + s];
            SCOPED_TRACE(line.text);
            std::string expected = kExpected[k][s];
            if (expected.find("*") != std::string::npos) {
                EXPECT_EQ(line.text, expected);
                continue;
            }
            const std::string body = CheckedBody(line.text);
            const std::string t = TimeField(body);
            if (time.empty()) time = t;
            EXPECT_EQ(t, time);  // one time for all sentences of a point
            expected.replace(expected.find(",T,") + 1, 1, t);
            const auto d = expected.find(",D,");
            if (d != std::string::npos) {
                const std::string date = body.substr(d + 1, 6);
                EXPECT_TRUE(date == UtcDate(line.utcSeconds) ||
                            date == UtcDate(line.utcSeconds - 2))
                    << date;
                expected.replace(d + 1, 1, date);
            }
            EXPECT_EQ(body, expected);
        }
        // The current UTC time with milliseconds, as the point goes out.
        const double seconds = TimeOfDay(time);
        ASSERT_GE(seconds, 0) << time;
        EXPECT_LT(std::abs(DayDifference(seconds, static_cast<double>(first.utcSeconds % 86400))),
                  1.5)
            << time;
        pointTimes.push_back(seconds);
        if (k > 0) {
            const double gap =
                std::chrono::duration<double>(first.at - listener.lines[5 * (k - 1)].at).count();
            EXPECT_GE(gap, 0.95);
            EXPECT_LT(gap, 1.5);
            const double stamped = DayDifference(pointTimes[k], pointTimes[k - 1]);
            EXPECT_GE(stamped, 0.99);
            EXPECT_LT(stamped, 1.5);
        }
        EXPECT_TRUE(first.exclusive);
        EXPECT_TRUE(IsRawMode(first.settings));
    }
    const double span =
        std::chrono::duration<double>(listener.lines[14].at - listener.lines[0].at).count();
    // Two seconds between the first and the last sentence; the listener's
    // own wake-up delays may shift its clock readings by a few milliseconds.
    EXPECT_GE(span, 1.98);

    ASSERT_EQ(ioctl(pty.slave(), FIONREAD, &pending), 0);
    EXPECT_EQ(pending, 0);
    EXPECT_FALSE(pty.Exclusive());
    EXPECT_TRUE(SameLineSettings(pty.Settings(), before));
}

TEST(NmeaPort, OptionWordChoosesSentencesAndBaudRate) {
    TempDir dir;
    PseudoTerminal pty;
    pty.LinkAs(dir.File("ttyFAKE"));
    const termios before = UnusualLineMode(pty.Settings());  // 4800 baud, two stop bits, echo
    pty.SetSettings(before);
    const auto entries = Entries(3);
    const std::string path = dir.File("ttyFAKE.com");
    const auto pace = std::chrono::milliseconds(40);

    // GGA alone at 57600 baud, 8N1.
    {
        Listener listener(pty);
        EXPECT_EQ(SendNmeaToPortPaced(path, entries.data(), 2, kNmeaGga | 57600, pace), 0);
        listener.Stop();
        ASSERT_EQ(listener.lines.size(), 2u);
        for (std::size_t k = 0; k < 2; ++k) {
            const Line& line = listener.lines[k];
            std::string expected = kExpected[k][1];
            const std::string body = CheckedBody(line.text);
            expected.replace(7, 1, TimeField(body));
            EXPECT_EQ(body, expected);
            EXPECT_EQ(cfgetospeed(&line.settings), static_cast<speed_t>(B57600));
            EXPECT_EQ(line.settings.c_cflag & (CSIZE | PARENB | CSTOPB),
                      static_cast<tcflag_t>(CS8));
            EXPECT_TRUE(IsRawMode(line.settings));
        }
        EXPECT_TRUE(SameLineSettings(pty.Settings(), before));
    }
    // RMC and VTG at the rate asked for when nothing is stored (0xFFFFF):
    // no line has it, the speed stays, the sentences still go out.
    {
        Listener listener(pty);
        EXPECT_EQ(SendNmeaToPortPaced(path, entries.data(), 1, kNmeaRmc | kNmeaVtg | 0xFFFFF,
                                      pace),
                  0);
        listener.Stop();
        ASSERT_EQ(listener.lines.size(), 2u);
        EXPECT_EQ(listener.lines[0].text.rfind("$GPRMC,", 0), 0u);
        EXPECT_EQ(listener.lines[1].text, kExpected[0][4]);
        EXPECT_EQ(cfgetospeed(&listener.lines[0].settings), static_cast<speed_t>(B4800));
        EXPECT_EQ(listener.lines[0].settings.c_cflag & (CSIZE | PARENB | CSTOPB),
                  static_cast<tcflag_t>(CS8));
        EXPECT_TRUE(SameLineSettings(pty.Settings(), before));
    }
    // Option word 0: the port is still opened, nothing is sent, the pace kept.
    {
        Listener listener(pty);
        const auto start = SteadyClock::now();
        EXPECT_EQ(SendNmeaToPortPaced(path, entries.data(), 3, 0, pace), 0);
        EXPECT_GE(SecondsSince(start), 0.12);
        listener.Stop();
        EXPECT_TRUE(listener.lines.empty());
        EXPECT_EQ(listener.rest, "");
    }
}

TEST(NmeaPort, BatchReplaysAFileToThePortItsTitleNames) {
    // ferolin DIR/ttyFAKE.log com: the output path DIR/ttyFAKE.com names the
    // port through the link DIR/ttyFAKE.
    TempDir dir;
    PseudoTerminal pty;
    pty.LinkAs(dir.File("ttyFAKE"));
    WriteFile(dir.File("ttyFAKE.log"),
              "About total Numbers: 2\n=====================\n"
              "Record: 1\nAltitude: 100\nLatitude: 45.5\nLongitude: -73.25\n"
              "=====================\n"
              "Record: 2\nAltitude: 200\nLatitude: 45.75\nLongitude: -73.125\n"
              "=====================\n");
    WriteFile(dir.File("nowhere.log"), "About total Numbers: 1\n=====================\n"
                                       "Record: 1\nAltitude: 100\n=====================\n");
    struct Host : DriverHost {
        void ShowMessage(const std::string& p, int id, MessageIcon) override {
            messages.push_back(p + ": " + LoadString(id));
        }
        uint32_t WriterOptions(const FormatEntry& row) override {
            return std::string_view(row.extension) == "com" ? kNmeaGga | 9600 : kAllOptions;
        }
        std::vector<std::string> messages;
    } host;
    CurrentTrack track;
    Listener listener(pty);
    EXPECT_FALSE(RunCommandLine({dir.File("*.log"), "com"}, track, host));
    listener.Stop();
    ASSERT_EQ(listener.lines.size(), 2u);
    EXPECT_EQ(CheckedBody(listener.lines[0].text).substr(17),
              ",4530.0000,N,07315.0000,W,1,00,0.0,100.0,M,,M,,");
    EXPECT_EQ(CheckedBody(listener.lines[1].text).substr(17),
              ",4545.0000,N,07307.5000,W,1,00,0.0,200.0,M,,M,,");
    EXPECT_EQ(cfgetospeed(&listener.lines[0].settings), static_cast<speed_t>(B9600));
    // nowhere.com names no port: the writer fails, nothing is created.
    EXPECT_EQ(host.messages,
              std::vector<std::string>{dir.File("nowhere.com") + ": Cannot write to the file."});
    EXPECT_FALSE(ferolin_test::FileExists(dir.File("nowhere.com")));
}
