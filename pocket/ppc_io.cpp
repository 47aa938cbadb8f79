#include "pocket/ppc_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace ppc {

namespace {
constexpr std::size_t kBlockSize = 1 << 16;
}

// ---------------------------------------------------------------------------
// LineReader

LineReader::LineReader(std::size_t maxPiece)
    : maxPiece_(maxPiece ? maxPiece : 1),
      buffer_(new char[kBlockSize + maxPiece_ + 2]),
      capacity_(kBlockSize + maxPiece_ + 2) {}

LineReader::~LineReader() {
    if (fd_ >= 0) close(fd_);
}

bool LineReader::Open(const std::string& path) {
    if (fd_ >= 0) close(fd_);
    // O_NONBLOCK: opening a FIFO without a writer must not wait; the file is
    // refused anyway unless it is a regular one.
    fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return false;
    struct stat info;
    if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd_);
        fd_ = -1;
        return false;
    }
    const int flags = fcntl(fd_, F_GETFL);
    if (flags >= 0) fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
    size_ = static_cast<std::size_t>(info.st_size);
    begin_ = end_ = 0;
    eof_ = false;
    return true;
}

void LineReader::OpenMemory(std::string_view text) {
    memory_ = text;
    memoryAt_ = 0;
    size_ = text.size();
    begin_ = end_ = 0;
    eof_ = false;
}

bool LineReader::Rewind() {
    if (fd_ >= 0 && lseek(fd_, 0, SEEK_SET) != 0) return false;
    memoryAt_ = 0;
    begin_ = end_ = 0;
    eof_ = false;
    return true;
}

bool LineReader::Fill() {
    if (begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (eof_ || end_ == capacity_) return false;
    if (fd_ < 0) {
        const std::size_t n = std::min(memory_.size() - memoryAt_, capacity_ - end_);
        if (n) std::memcpy(buffer_.get() + end_, memory_.data() + memoryAt_, n);
        memoryAt_ += n;
        end_ += n;
        if (memoryAt_ == memory_.size()) eof_ = true;
        return true;
    }
    for (;;) {
        const ssize_t n = read(fd_, buffer_.get() + end_, capacity_ - end_);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // The end of the file; a read error ends the input as fgets does.
            eof_ = true;
            return false;
        }
        end_ += static_cast<std::size_t>(n);
        return true;
    }
}

bool LineReader::Next(std::string_view& piece, bool& complete) {
    // Enough bytes for a whole piece plus a "\r\n" after it.
    const std::size_t window = maxPiece_ + 2;
    while (end_ - begin_ < window && !eof_) Fill();
    if (begin_ == end_) return false;

    const char* start = buffer_.get() + begin_;
    const std::size_t avail = end_ - begin_;
    const std::size_t scan = std::min(avail, window);
    const char* newline = static_cast<const char*>(std::memchr(start, '\n', scan));
    std::size_t length = std::min(avail, maxPiece_);
    std::size_t consumed = length;
    complete = eof_ && consumed == avail;
    if (newline) {
        const std::size_t k = static_cast<std::size_t>(newline - start);
        const std::size_t content = (k > 0 && start[k - 1] == '\r') ? k - 1 : k;
        if (content + 1 <= maxPiece_) {
            length = content;
            consumed = k + 1;
            complete = true;
        } else if (content == maxPiece_) {
            // The line fills the piece exactly; its end comes next as an
            // empty piece, as fgets hands it out.
            complete = true;
        }
    }
    begin_ += consumed;
    const char* nul = static_cast<const char*>(std::memchr(start, '\0', length));
    if (nul) {
        length = static_cast<std::size_t>(nul - start);
        complete = false;
    }
    piece = std::string_view(start, length);
    return true;
}

// ---------------------------------------------------------------------------
// OutputFile

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Create(const std::string& path) {
    Discard();
    failed_ = false;
    text_.clear();
    // Through a symbolic link, the file it names is replaced, not the link.
    target_ = path;
    struct stat link;
    if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* real = realpath(path.c_str(), nullptr)) {
            target_ = real;
            std::free(real);
        }
    }
    struct stat existing;
    const bool exists = stat(target_.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        // A device or FIFO is written in place; a folder fails to open.
        fd_ = open(target_.c_str(), O_WRONLY | O_CLOEXEC);
        return fd_ >= 0;
    }
    const std::size_t slash = target_.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    std::random_device random;
    for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        temporary_ = folder + "." + file + "." + suffix + ".part";
        fd_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        // No new file can be made in the folder; an existing writable target
        // is then written in place.
        temporary_.clear();
        fd_ = open(target_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        return fd_ >= 0;
    }
    if (exists) fchmod(fd_, existing.st_mode & 07777);
    return true;
}

void OutputFile::WriteOut() {
    const char* p = text_.data();
    std::size_t left = text_.size();
    while (left > 0 && !failed_) {
        const ssize_t n = write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed_ = true;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    text_.clear();
}

bool OutputFile::Commit() {
    if (fd_ < 0) return false;
    WriteOut();
    if (close(fd_) != 0) failed_ = true;
    fd_ = -1;
    if (!failed_ && !temporary_.empty() && rename(temporary_.c_str(), target_.c_str()) != 0)
        failed_ = true;
    if (failed_) {
        Discard();
        return false;
    }
    temporary_.clear();
    return true;
}

void OutputFile::Discard() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        temporary_.clear();
    }
    text_.clear();
}

// ---------------------------------------------------------------------------
// Numbers

void AppendFixed(std::string& out, double value, int precision, int width, bool plus) {
    if (!std::isfinite(value)) {
        const bool negative = std::signbit(value);
        std::string text = negative ? "-" : (plus ? "+" : "");
        text += std::isnan(value) ? "nan" : "inf";
        if (width > static_cast<int>(text.size())) out.append(width - text.size(), ' ');
        out += text;
        return;
    }
    // A double has at most 309 integer digits; precision stays small here.
    char digits[400];
    const double magnitude = std::fabs(value);
    const auto result =
        std::to_chars(digits, digits + sizeof digits, magnitude, std::chars_format::fixed, precision);
    const std::size_t n = static_cast<std::size_t>(result.ptr - digits);
    const bool negative = std::signbit(value);
    const std::size_t signLength = (negative || plus) ? 1 : 0;
    if (negative)
        out += '-';
    else if (plus)
        out += '+';
    if (width > 0 && static_cast<std::size_t>(width) > n + signLength)
        out.append(width - n - signLength, '0');
    out.append(digits, n);
}

void AppendHourMinute(std::string& out, int64_t hour, int64_t minute) {
    AppendInt(out, hour, 2);
    out += ':';
    AppendInt(out, minute, 2);
    out += ':';
}

void AppendInt(std::string& out, int64_t value, int width) {
    char digits[24];
    const uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    const auto result = std::to_chars(digits, digits + sizeof digits, magnitude);
    const std::size_t n = static_cast<std::size_t>(result.ptr - digits);
    const std::size_t signLength = value < 0 ? 1 : 0;
    if (value < 0) out += '-';
    if (width > 0 && static_cast<std::size_t>(width) > n + signLength)
        out.append(width - n - signLength, '0');
    out.append(digits, n);
}

namespace {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::size_t SkipBlanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    return i;
}

}  // namespace

int64_t ParseInt64(std::string_view text) {
    std::size_t i = SkipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulate toward the sign's side so that INT64_MIN fits.
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (negative) {
            if (value < (INT64_MIN + digit) / 10) return INT64_MIN;
            value = value * 10 - digit;
        } else {
            if (value > (INT64_MAX - digit) / 10) return INT64_MAX;
            value = value * 10 + digit;
        }
    }
    return value;
}

int32_t ParseInt(std::string_view text) {
    const int64_t value = ParseInt64(text);
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

double ParseReal(std::string_view text) {
    std::size_t i = SkipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    auto format = std::chars_format::general;
    if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
        // Hexadecimal reals, as atof reads them; "0x" alone is the 0 before it.
        format = std::chars_format::hex;
        first += 2;
    }
    double value = 0.0;
    const auto result = std::from_chars(first, last, value, format);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: find the exponent's sign.
        bool tiny = false;
        for (const char* p = first; p < result.ptr; ++p) {
            const bool mark = format == std::chars_format::hex ? (*p == 'p' || *p == 'P')
                                                               : (*p == 'e' || *p == 'E');
            if (mark) {
                tiny = p + 1 < result.ptr && p[1] == '-';
                break;
            }
        }
        value = tiny ? 0.0 : HUGE_VAL;
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

}  // namespace ppc
