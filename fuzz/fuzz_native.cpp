// Fuzz target: the native .frn reader on arbitrary bytes, handed over as an
// in-memory file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "formats/native.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = memfd_create("fuzz_native", MFD_CLOEXEC);
    if (fd < 0) return 0;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ferolin::TrackPointArray points;
    uint32_t count = 0;
    const ferolin::ReadStatus status = ferolin::ReadNativeDescriptor(fd, points, count);
    close(fd);
    if (status == ferolin::ReadStatus::kOk) ferolin_fuzz::TouchPoints(points, count);
    return 0;
}
