#include "core/track_point.h"

#include <sys/mman.h>

#include <cstdint>

#include "core/calendar.h"

namespace ferolin {

TrackPointArray AllocateTrackPoints(std::size_t count) {
    if (count == 0) return TrackPointArray();
    // calloc checks count * size for overflow and hands back zero pages.
    TrackPointArray points(static_cast<TrackPoint*>(std::calloc(count, sizeof(TrackPoint))));
#ifdef MADV_HUGEPAGE
    // A million-point array is 55 MB; faulting it in 4 KB at a time costs more
    // than reading and parsing the whole file. Asking the kernel to back the
    // whole 2 MB pages inside the block with huge pages is a hint: where the
    // system has none, nothing changes.
    constexpr uintptr_t kHuge = uintptr_t{1} << 21;
    const std::size_t bytes = count * sizeof(TrackPoint);
    if (points && bytes >= 2 * kHuge) {
        const uintptr_t begin = reinterpret_cast<uintptr_t>(points.get());
        const uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
        const uintptr_t last = (begin + bytes) & ~(kHuge - 1);
        if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
#endif
    return points;
}

int64_t CalendarTime(int year, int month, int day, int hour, int minute, int second) {
    // Months outside 1-12 carry into the year, like mktime/timegm do.
    const int64_t days = DaysSinceEpoch(year, month, day);
    const int64_t t = days * 86400 + static_cast<int64_t>(hour) * 3600 +
                      static_cast<int64_t>(minute) * 60 + second;
    return t < 0 ? -1 : t;
}

int64_t TrackPointTime(const TrackPoint& point) {
    if (point.day == 0 || point.month == 0 || point.year == 0) return -1;
    // Truncation toward zero of the seconds; NaN or huge values count as 0.
    const float s = point.seconds;
    const int whole = (s > -2147483648.0f && s < 2147483648.0f) ? static_cast<int>(s) : 0;
    return CalendarTime(point.year, point.month, point.day, point.hour, point.minute, whole);
}

}  // namespace ferolin
