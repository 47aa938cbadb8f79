#include "devices/logger.h"

#include <bit>
#include <chrono>
#include <cstring>
#include <thread>

#include "core/point_buffer.h"
#include "devices/serial_port.h"

namespace ferolin {

namespace {

// The command that switches the logger from NMEA to its framed protocol: an
// NMEA-style text, then a SiRF binary message (set UART configuration: port 0
// to protocol 4 at 57600 baud, 8N1; the three other ports unused).
constexpr char kSwitchText[] = "$RCMD402*2E\r\n";
constexpr uint8_t kSwitchMessage[] = {
    0xa0, 0xa2, 0x00, 0x31, 0xa5, 0x00, 0x04, 0x04, 0x00, 0x00, 0xe1, 0x00, 0x08, 0x01, 0x00,
    0x00, 0x00, 0xff, 0x05, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff,
    0x05, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0x05, 0x05, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0xb2, 0xb0, 0xb3};
static_assert(sizeof kSwitchMessage == 57);

// Asks the logger to send its records.
constexpr uint8_t kTransferRequest[] = {0x10, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x14, 0x00,
                                        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
static_assert(sizeof kTransferRequest == 17);

constexpr int kHandshakeAttempts = 10;
constexpr auto kSettleTime = std::chrono::milliseconds(500);

// Reads may take 5 ms a byte and 2 s in all (writes: WriteTimeoutMs).
int ReadTimeoutMs(std::size_t bytes) { return static_cast<int>(2000 + 5 * bytes); }

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
float LeFloat(const uint8_t* p) { return std::bit_cast<float>(Le32(p)); }
double LeDouble(const uint8_t* p) {
    return std::bit_cast<double>(static_cast<uint64_t>(Le32(p)) |
                                 static_cast<uint64_t>(Le32(p + 4)) << 32);
}

class PortSource : public LoggerByteSource {
public:
    explicit PortSource(SerialPort& port) : port_(port) {}
    std::size_t Read(uint8_t* data, std::size_t size) override {
        return port_.Read(data, size, ReadTimeoutMs(size));
    }

private:
    SerialPort& port_;
};

void SendLoggerFrame(SerialPort& port, const uint8_t* payload, std::size_t length) {
    TextBuffer frame;
    AppendLoggerFrame(frame, payload, length);
    port.Write(frame.data(), frame.size(), WriteTimeoutMs(frame.size()));
}

// Discards pending input, sends a one-byte command, receives the reply.
uint8_t LoggerRequest(SerialPort& port, uint8_t command, LoggerReply& reply) {
    port.DiscardInput();
    SendLoggerFrame(port, &command, 1);
    PortSource source(port);
    ReceiveLoggerFrame(source, reply);
    return reply.Code();
}

// The exchange after the port is open; the caller ends it with frame 68.
ReadStatus Exchange(SerialPort& port, TrackPointArray& points, uint32_t& count) {
    // A logger that is on emits NMEA: the first byte after a pause is "$".
    port.Purge();
    std::this_thread::sleep_for(kSettleTime);
    uint8_t first = 0;
    if (port.Read(&first, 1, ReadTimeoutMs(1)) != 1 || first != '$')
        return ReadStatus::kNotThisFormat;

    port.Write(kSwitchText, sizeof kSwitchText - 1, WriteTimeoutMs(sizeof kSwitchText - 1));
    port.Write(kSwitchMessage, sizeof kSwitchMessage, WriteTimeoutMs(sizeof kSwitchMessage));
    std::this_thread::sleep_for(kSettleTime);

    LoggerReply reply;
    int attempt = 0;
    while (LoggerRequest(port, kLoggerHandshake, reply) != kLoggerHandshake)
        if (++attempt == kHandshakeAttempts) return ReadStatus::kNotThisFormat;
    if (LoggerRequest(port, kLoggerQuery, reply) != kLoggerQuery) return ReadStatus::kNotThisFormat;
    // The count travels in payload bytes 1-4; a shorter reply carries none.
    if (LoggerRequest(port, kLoggerCount, reply) != kLoggerCount || reply.length < 5)
        return ReadStatus::kNotThisFormat;
    const uint32_t announced = Le32(reply.bytes + 1);
    if (announced == 0) return ReadStatus::kOk;

    SendLoggerFrame(port, kTransferRequest, sizeof kTransferRequest);
    PortSource source(port);
    ReceiveLoggerFrame(source, reply);
    if (reply.Code() != kLoggerAccepted) return ReadStatus::kNotThisFormat;
    const uint8_t start = kLoggerStart;
    SendLoggerFrame(port, &start, 1);
    return ReceiveLoggerRecords(source, announced, points, count);
}

}  // namespace

void AppendLoggerFrame(TextBuffer& out, const uint8_t* payload, std::size_t length) {
    uint8_t head[4] = {0xAA, 0x55, static_cast<uint8_t>(length & 0xFF),
                       static_cast<uint8_t>(length >> 8 & 0xFF)};
    out.Append(std::string_view(reinterpret_cast<const char*>(head), sizeof head));
    uint8_t sum = 0;
    for (std::size_t i = 0; i < length; ++i) sum ^= payload[i];
    if (length) out.Append(std::string_view(reinterpret_cast<const char*>(payload), length));
    uint8_t tail[3] = {sum, 0x33, 0xCC};
    out.Append(std::string_view(reinterpret_cast<const char*>(tail), sizeof tail));
}

bool ReceiveLoggerFrame(LoggerByteSource& source, LoggerReply& reply) {
    std::memset(reply.bytes, 0, sizeof reply.bytes);
    reply.length = 0;
    reply.complete = false;
    reply.valid = false;
    uint8_t head[4];
    if (source.Read(head, sizeof head) != sizeof head) return false;
    if (head[0] != 0xAA || head[1] != 0x55) return false;
    const uint32_t length = Le16(head + 2);
    if (length + 3 > kLoggerBufferSize) return false;
    if (source.Read(reply.bytes, length + 3) != length + 3) {
        // Cut off: what arrived is no reply.
        std::memset(reply.bytes, 0, sizeof reply.bytes);
        return false;
    }
    reply.length = length;
    reply.complete = true;
    uint8_t sum = 0;
    for (uint32_t i = 0; i < length; ++i) sum ^= reply.bytes[i];
    reply.valid = sum == reply.bytes[length] && reply.bytes[length + 1] == 0x33 &&
                  reply.bytes[length + 2] == 0xCC;
    return reply.valid;
}

bool DecodeLoggerRecord(const LoggerReply& reply, TrackPoint& point) {
    if (reply.Code() != kLoggerRecord || reply.length < kLoggerRecordSize) return false;
    const uint8_t* b = reply.bytes;
    point = TrackPoint{};
    point.record = Le16(b + 1);
    point.year = static_cast<int16_t>(2000 + b[3]);
    point.month = static_cast<int8_t>(b[4]);
    point.day = static_cast<int8_t>(b[5]);
    point.hour = static_cast<int8_t>(b[7]);
    point.minute = static_cast<int8_t>(b[8]);
    point.seconds = LeFloat(b + 11);
    point.latitude = LeDouble(b + 15);
    point.longitude = LeDouble(b + 23);
    point.altitude = LeFloat(b + 31);
    point.pdop = LeFloat(b + 35);
    point.hdop = LeFloat(b + 39);
    point.speed = LeFloat(b + 43);
    point.direction = LeFloat(b + 47);
    point.satellites = static_cast<int8_t>(b[51]);
    return true;
}

ReadStatus ReceiveLoggerRecords(LoggerByteSource& source, uint32_t announced,
                                TrackPointArray& points, uint32_t& count) {
    points.reset();
    count = 0;
    // The records come one frame each: the announced count is no reason to
    // take memory before they do.
    PointBuffer records(announced);
    LoggerReply reply;
    while (records.size() < announced) {
        ReceiveLoggerFrame(source, reply);
        if (reply.Code() != kLoggerRecord || reply.length < kLoggerRecordSize) break;
        TrackPoint* point = records.Add();
        if (!point) return ReadStatus::kNoMemory;
        DecodeLoggerRecord(reply, *point);
    }
    count = static_cast<uint32_t>(records.size());
    points = records.Release(count);
    return ReadStatus::kOk;
}

ReadStatus DownloadLoggerTrack(const std::string& path, TrackPointArray& points, uint32_t& count) {
    points.reset();
    count = 0;
    SerialPort port;
    if (!port.Open(path)) return ReadStatus::kCannotOpen;
    const ReadStatus status = Exchange(port, points, count);
    // Every exchange ends with frame 68, whatever happened before.
    const uint8_t end = kLoggerEnd;
    SendLoggerFrame(port, &end, 1);
    port.Close();
    if (status != ReadStatus::kOk) {
        points.reset();
        count = 0;
    }
    return status;
}

}  // namespace ferolin
