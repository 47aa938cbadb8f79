// Small input/output helpers of the handheld data path: a line reader that
// hands out fgets-sized pieces, an output file that replaces its target only
// when complete, and locale-free number conversions that match the C
// library's printf/atoi/atof in the C locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace ppc {

// Reads a text file in large blocks and hands out its lines in pieces of at
// most maxPiece characters, the line end counted, as fgets with a buffer of
// maxPiece + 1 bytes does: a longer line arrives as several pieces, each a
// line of its own. "\r\n" counts as one character (text mode). A piece ends
// at its first NUL byte. Only regular files are opened, without blocking on
// FIFOs or devices.
class LineReader {
public:
    explicit LineReader(std::size_t maxPiece);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool Open(const std::string& path);
    void OpenMemory(std::string_view text);
    // Goes back to the start of the input; false when that fails.
    bool Rewind();
    // Size of the input in bytes.
    std::size_t Size() const { return size_; }

    // The next piece without its line end. `complete` tells whether the piece
    // ends its line (a line end or the end of the input follows it).
    bool Next(std::string_view& piece, bool& complete);

private:
    bool Fill();

    std::size_t maxPiece_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    int fd_ = -1;
    std::string_view memory_;
    std::size_t memoryAt_ = 0;
    std::size_t size_ = 0;
};

// A file being written: the text goes to a temporary file beside the target,
// renamed over it only when everything was written and closed without error.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Create(const std::string& path);
    // Text to write; FlushSome() writes it out once enough has gathered.
    std::string& Text() { return text_; }
    void FlushSome() {
        if (text_.size() >= (1u << 18)) WriteOut();
    }
    // Writes the rest, closes and moves the file into place; false on error.
    bool Commit();

private:
    void WriteOut();
    void Discard();

    std::string text_;
    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    bool failed_ = false;
};

// printf conversions, point as decimal separator whatever the locale:
// "%.<precision>f", with `width` > 0 "%0<width>.<precision>f", with `plus`
// the "+" flag. Infinities and NaN come out as printf writes them, padded
// with blanks.
void AppendFixed(std::string& out, double value, int precision, int width = 0, bool plus = false);
// "%0<width>d" (width 0: "%d").
void AppendInt(std::string& out, int64_t value, int width = 0);
// "%02d:%02d:": the hours and minutes of a time, ready for its seconds.
void AppendHourMinute(std::string& out, int64_t hour, int64_t minute);

// atoi: blanks, optional sign, digits, the rest ignored; 0 without digits;
// values beyond the int range are limited to it.
int32_t ParseInt(std::string_view text);
// The same without the limit to int.
int64_t ParseInt64(std::string_view text);
// atof: blanks, then a decimal real, "inf", "infinity" or "nan"; the rest
// ignored; 0 when nothing converts; overflow gives an infinity, underflow 0.
double ParseReal(std::string_view text);

}  // namespace ppc
