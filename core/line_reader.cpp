#include "core/line_reader.h"

#include "core/paths.h"
#include "core/read_status.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ferolin {

namespace {
constexpr std::size_t kBlock = 1 << 16;
}

LineReader::LineReader(std::size_t maxPiece)
    : maxPiece_(maxPiece ? maxPiece : 1),
      buffer_(new char[kBlock + maxPiece_ + 2]),
      capacity_(kBlock + maxPiece_ + 2) {}

LineReader::~LineReader() {
    if (fd_ >= 0) close(fd_);
}

bool LineReader::Open(const std::string& path) {
    // Only regular files are tracks.
    std::string reason;
    fd_ = OpenRegularFile(path, totalSize_, reason);
    return fd_ >= 0;
}

bool LineReader::Fill() {
    // Keep the unread tail, then top the buffer up.
    if (begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    while (!eof_ && end_ < capacity_) {
        if (fd_ < 0) {
            eof_ = true;
            return true;
        }
        const ssize_t n = read(fd_, buffer_.get() + end_, capacity_ - end_);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            eof_ = true;
            return n == 0;
        }
        end_ += static_cast<std::size_t>(n);
        ReportReadBytes(static_cast<uint64_t>(n));
        return true;
    }
    return true;
}

bool LineReader::Next(std::string_view& line) {
    // A piece holds at most maxPiece characters, its line end included; the
    // "\r" of a "\r\n" line end is not counted, as text mode folds it.
    const std::size_t want = maxPiece_ + 1;
    while (end_ - begin_ < want + 1 && !eof_) Fill();
    if (begin_ == end_) return false;

    const char* start = buffer_.get() + begin_;
    const std::size_t avail = end_ - begin_;
    const std::size_t scan = std::min(avail, want);
    const char* newline = static_cast<const char*>(std::memchr(start, '\n', scan));
    std::size_t length = std::min(avail, maxPiece_);  // characters handed out
    std::size_t consumed = length;                      // bytes taken
    if (newline) {
        const std::size_t k = static_cast<std::size_t>(newline - start);
        const std::size_t content = (k > 0 && start[k - 1] == '\r') ? k - 1 : k;
        if (content < maxPiece_) {
            // The line with its end fits in one piece.
            length = content;
            consumed = k + 1;
        }
    }
    begin_ += consumed;
    const char* nul = static_cast<const char*>(std::memchr(start, '\0', length));
    line = std::string_view(start, nul ? static_cast<std::size_t>(nul - start) : length);
    return true;
}

}  // namespace ferolin
