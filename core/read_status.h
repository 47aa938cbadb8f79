// How a track reader ended, and what it noted on the way.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace ferolin {

// Every status but kOk is a failure: the reader's outputs then hold no track,
// and the driver tries the next format row of the file's extension.
enum class ReadStatus : uint8_t {
    kOk,
    kCannotOpen,     // missing, unreadable, a folder, a FIFO or a device; a port that does not open
    kNotThisFormat,  // the content is not the reader's format (header or mark missing,
                     // a device on the port that does not answer as a logger)
    kNoMemory,       // the points do not fit in memory
    // The XML parser's own failures. Unlike the others they leave the window's
    // point details as they are.
    kXmlUnreadable,  // the parser could not read the file
    kXmlMalformed,   // the document is not well-formed XML
};

// What a reader left out of the track it read, counted by cause.
enum class LeftOut : uint8_t {
    kNoPosition,       // records without a real position: no point
    kImpossibleValue,  // sensor values no body or device gives: kept absent
    kNoDate,           // dates or times that do not exist: the point kept undated
};
inline constexpr int kLeftOutCauses = 3;

// The totals a device measured itself over the activity (a FIT file's
// sessions, summed); NaN where the file has none.
struct DeviceTotals {
    double ascentMetres, descentMetres, distanceMetres, timerSeconds;
};

inline bool HasDeviceTotals(const DeviceTotals& d) {
    return d.ascentMetres == d.ascentMetres || d.descentMetres == d.descentMetres ||
           d.distanceMetres == d.distanceMetres || d.timerSeconds == d.timerSeconds;
}

// What one read noted beside its points: why it failed (for the verbose
// messages; empty when no reason beyond the status is known), what it left
// out, and the device's own totals.
struct ReadReport {
    std::string reason;
    uint64_t leftOut[kLeftOutCauses] = {};
    DeviceTotals device = NoDeviceTotals();

    static DeviceTotals NoDeviceTotals();
    uint64_t LeftOutTotal() const { return leftOut[0] + leftOut[1] + leftOut[2]; }
    void Count(LeftOut cause, uint64_t n = 1) { leftOut[static_cast<int>(cause)] += n; }
};

// The report of the read running on this thread. The driver clears it before
// each reader and takes it after; readers only add to it.
ReadReport& CurrentReadReport();

// Sets the reason of the current read's failure, unless one is set already
// (the first cause met is the one the user needs).
void SetReadReason(std::string reason);

// How far a read has come, for a progress bar shown by another thread: the
// bytes the reader has taken in so far, against the bytes it will take in
// all (the file's size, doubled by a reader that first loads the whole file
// and then walks it).
struct ReadProgress {
    std::atomic<uint64_t> done{0};
    std::atomic<uint64_t> total{0};

    // 0 to 1; 0 while the size is not known.
    double Fraction() const;
};

// The progress the read running on this thread reports to; none (null)
// unless the caller sets one for the read.
void SetCurrentReadProgress(ReadProgress* progress);
// The reader's side, cheap enough for every block it reads: `bytes` more
// taken in; the whole it will take in.
void ReportReadBytes(uint64_t bytes);
void ReportReadTotal(uint64_t bytes);

}  // namespace ferolin
