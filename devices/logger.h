// Download of the track stored in a GPS data logger on a serial port.
//
// The logger talks NMEA until it is told to switch to its own framed binary
// protocol. Frames, both ways: AA 55, payload length L (16 bits, little
// endian), the payload (its first byte is the command or reply code), the
// exclusive-or of the payload bytes, 33 CC. A received payload fits a
// 255-byte buffer together with its checksum and end marker.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/read_status.h"
#include "core/text_format.h"
#include "core/track_point.h"

namespace ferolin {

constexpr std::size_t kLoggerBufferSize = 255;
// Bytes of a record payload: code 7, then the point (up to the satellites).
constexpr std::size_t kLoggerRecordSize = 52;

// Reply and command codes of the exchange.
constexpr uint8_t kLoggerHandshake = 2;
constexpr uint8_t kLoggerStart = 6;
constexpr uint8_t kLoggerRecord = 7;
constexpr uint8_t kLoggerAccepted = 16;
constexpr uint8_t kLoggerCount = 36;
constexpr uint8_t kLoggerEnd = 68;
constexpr uint8_t kLoggerQuery = 73;

// Where received bytes come from: the port (with its time-outs), or memory.
// Read returns how many of the `size` bytes arrived; fewer means the time
// ran out or the source ended.
class LoggerByteSource {
public:
    virtual ~LoggerByteSource() = default;
    virtual std::size_t Read(uint8_t* data, std::size_t size) = 0;
};

// One received frame. `bytes` holds the payload, then its checksum and end
// marker; `length` is the payload length L.
struct LoggerReply {
    uint8_t bytes[kLoggerBufferSize];
    uint32_t length;
    bool complete;  // every byte of the frame arrived
    bool valid;     // and the checksum and end marker are right

    // The reply code: the payload's first byte, 0 when no whole frame with a
    // payload arrived (no reply code is 0).
    uint8_t Code() const { return complete && length > 0 ? bytes[0] : 0; }
};

// Appends the frame carrying `payload`.
void AppendLoggerFrame(TextBuffer& out, const uint8_t* payload, std::size_t length);

// Receives one frame: 4 bytes of start marker and length, then L + 3 bytes.
// A wrong start marker, a length that does not fit the buffer, or a frame cut
// off by the source leaves the reply incomplete (code 0). Returns `valid`;
// an incomplete frame is never valid, a complete one with a wrong checksum is
// still judged by its code.
bool ReceiveLoggerFrame(LoggerByteSource& source, LoggerReply& reply);

// Decodes a record reply (code 7 and a payload of at least 52 bytes) into a
// point; false, and the point untouched, for anything else.
bool DecodeLoggerRecord(const LoggerReply& reply, TrackPoint& point);

// The record loop: receives frames while fewer than `announced` records are
// decoded, stopping at the first reply that is not a whole record frame. The
// array grows as records arrive; `announced` only bounds the loop. kOk with
// the records decoded (count may be 0); kNoMemory when the memory for them
// runs out.
ReadStatus ReceiveLoggerRecords(LoggerByteSource& source, uint32_t announced,
                                TrackPointArray& points, uint32_t& count);

// Reader of the "rbt" row: the title of `path` names the port (COM5.rbt ->
// the port COM5). kOk with the records received (a download that ends early
// keeps what came); kCannotOpen when the port cannot be opened; kNotThisFormat
// when the device is not emitting NMEA, the handshake fails ten times, or a
// reply has the wrong code; kNoMemory when the records do not fit.
ReadStatus DownloadLoggerTrack(const std::string& path, TrackPointArray& points, uint32_t& count);

}  // namespace ferolin
