// Reads a text file line by line in large blocks, without an allocation per
// line. Lines are handed out in pieces of at most `maxPiece` characters, the
// way fgets with a buffer of maxPiece + 1 bytes reads them: a longer line
// comes in several pieces, each a line of its own. "\r\n" counts as one
// character, as in text mode. A piece ends at its first NUL byte, as a
// C string would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/read_status.h"
#include "core/track_point.h"

namespace ferolin {

class LineReader {
public:
    explicit LineReader(std::size_t maxPiece = 1023);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Opens a regular file; false for a missing file, a folder, a FIFO or a
    // device, without waiting.
    bool Open(const std::string& path);
    // Size of the whole input in bytes.
    std::size_t TotalSize() const { return totalSize_; }

    // The next piece without its line end; false at the end of the file or on
    // a read error.
    bool Next(std::string_view& line);

private:
    bool Fill();

    int fd_ = -1;
    std::size_t maxPiece_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    std::size_t totalSize_ = SIZE_MAX;
};

// Runs a one-pass reader over the lines of the file at `path`, in pieces of
// at most `maxPiece` characters; a file that cannot be opened gives
// kCannotOpen and no points.
template <typename ReadLines>
ReadStatus ReadSourceLines(const std::string& path, std::size_t maxPiece, TrackPointArray& points,
                           uint32_t& count, ReadLines readLines) {
    LineReader lines(maxPiece);
    if (!lines.Open(path)) {
        points.reset();
        count = 0;
        return ReadStatus::kCannotOpen;
    }
    return readLines(lines, points, count);
}

}  // namespace ferolin
