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
    // Reads text from memory instead of a file (fuzzing and tests).
    void OpenMemory(std::string_view text);

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
    const char* memory_ = nullptr;
    std::size_t memorySize_ = 0;
    std::size_t totalSize_ = SIZE_MAX;
};

// Where a reader takes its lines from: a file, or text in memory (fuzzing
// and tests). A reader that passes over its input twice opens it twice.
class LineSource {
public:
    // The source refers to `path`, which must outlive it.
    static LineSource File(const std::string& path) { return LineSource(&path, {}); }
    static LineSource File(std::string&&) = delete;
    static LineSource Memory(std::string_view text) { return LineSource(nullptr, text); }

    // Starts `reader` at the beginning of the input; false when the file
    // cannot be opened.
    bool Open(LineReader& reader) const {
        if (path_) return reader.Open(*path_);
        reader.OpenMemory(text_);
        return true;
    }

private:
    LineSource(const std::string* path, std::string_view text) : path_(path), text_(text) {}
    const std::string* path_;
    std::string_view text_;
};

// Runs a one-pass reader over the lines of `source`, in pieces of at most
// `maxPiece` characters; an input that cannot be opened gives kCannotOpen and
// no points.
template <typename ReadLines>
ReadStatus ReadSourceLines(const LineSource& source, std::size_t maxPiece, TrackPointArray& points,
                    uint32_t& count, ReadLines readLines) {
    LineReader lines(maxPiece);
    if (!source.Open(lines)) {
        points.reset();
        count = 0;
        return ReadStatus::kCannotOpen;
    }
    return readLines(lines, points, count);
}

}  // namespace ferolin
