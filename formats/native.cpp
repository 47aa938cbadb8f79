#include "formats/native.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>

#include "core/output_file.h"

namespace ferolin {

// The records are the in-memory layout of TrackPoint, which the file defines
// as little-endian.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kRecordSize = sizeof(TrackPoint);
// Format version 1, written by program version 1.5.1.
constexpr unsigned char kVersion[4] = {1, 1, 5, 1};

// Reads up to `size` bytes at `offset`; the number read (short at the end of
// the file or on a read error).
std::size_t ReadAt(int fd, void* buffer, std::size_t size, off_t offset) {
    char* p = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = pread(fd, p + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

// Reads the open regular file from offset 0.
ReadStatus ReadNativeDescriptor(int fd, TrackPointArray& points, uint32_t& count) {
    points.reset();
    count = 0;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return ReadStatus::kCannotOpen;

    unsigned char header[kHeaderSize];
    const std::size_t got = ReadAt(fd, header, kHeaderSize, 0);
    // An empty file, or another format version: no records.
    if (got == 0 || header[0] != 1) return ReadStatus::kOk;
    if (got < kHeaderSize) return ReadStatus::kNotThisFormat;
    const uint32_t declared = static_cast<uint32_t>(header[4]) |
                              static_cast<uint32_t>(header[5]) << 8 |
                              static_cast<uint32_t>(header[6]) << 16 |
                              static_cast<uint32_t>(header[7]) << 24;

    // Only the complete records present can be read: a larger declared count
    // is cut down to them before anything is allocated.
    const uint64_t size = info.st_size > 0 ? static_cast<uint64_t>(info.st_size) : 0;
    const uint64_t present = size > kHeaderSize ? (size - kHeaderSize) / kRecordSize : 0;
    const uint32_t wanted = declared < present ? declared : static_cast<uint32_t>(present);
    if (wanted == 0) return ReadStatus::kOk;

    TrackPointArray array = AllocateTrackPoints(wanted);
    if (!array) return ReadStatus::kNoMemory;
    // The file may have shrunk since fstat: keep the complete records read.
    const std::size_t bytes = ReadAt(fd, array.get(), wanted * kRecordSize, kHeaderSize);
    points = std::move(array);
    count = static_cast<uint32_t>(bytes / kRecordSize);
    return ReadStatus::kOk;
}

}  // namespace

ReadStatus ReadNativeTrack(const std::string& path, TrackPointArray& points, uint32_t& count) {
    points.reset();
    count = 0;
    // O_NONBLOCK keeps the open of a FIFO from waiting; only regular files
    // are read.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return ReadStatus::kCannotOpen;
    const ReadStatus status = ReadNativeDescriptor(fd, points, count);
    close(fd);
    return status;
}

int WriteNativeTrack(const std::string& path, const ExportEntry* entries, uint32_t count,
                     uint32_t /*options*/) {
    OutputFile file;
    if (!file.Create(path)) return 1;
    TextBuffer& out = file.Buffer();
    out.Append(std::string_view(reinterpret_cast<const char*>(kVersion), sizeof kVersion));
    char n[4] = {static_cast<char>(count & 0xFF), static_cast<char>(count >> 8 & 0xFF),
                 static_cast<char>(count >> 16 & 0xFF), static_cast<char>(count >> 24 & 0xFF)};
    out.Append(std::string_view(n, sizeof n));
    for (uint32_t i = 0; i < count; ++i) {
        char* record = out.Reserve(kRecordSize);
        std::memcpy(record, entries[i].point, kRecordSize);
        std::memcpy(record + offsetof(TrackPoint, altitude), &entries[i].altitude,
                    sizeof(float));
        out.Advance(kRecordSize);
        file.Flush();
    }
    return file.Commit() ? 0 : 1;
}

}  // namespace ferolin
