#include "formats/point_array.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace ferolin {

TrackPointArray AllocateReaderPoints(std::size_t count) {
    TrackPointArray points = AllocateTrackPoints(count);
    constexpr std::size_t kHugePage = 2u << 20;
    const std::size_t bytes = count * sizeof(TrackPoint);
    if (points && bytes >= 2 * kHugePage) {
        // Only whole pages inside the block; the advice is a hint, and its
        // failure (no transparent huge pages) changes nothing.
        const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
        const uintptr_t begin = (reinterpret_cast<uintptr_t>(points.get()) + page - 1) & ~(page - 1);
        const uintptr_t end = (reinterpret_cast<uintptr_t>(points.get()) + bytes) & ~(page - 1);
        if (end > begin)
            madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
    return points;
}

}  // namespace ferolin
