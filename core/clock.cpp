#include "core/clock.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "core/calendar.h"

namespace ferolin {

int64_t CurrentUtcTime() {
    if (const char* text = std::getenv("SOURCE_DATE_EPOCH"); text && *text) {
        char* end = nullptr;
        errno = 0;
        const long long value = std::strtoll(text, &end, 10);
        if (errno == 0 && end && *end == '\0') return value;
    }
    return static_cast<int64_t>(std::time(nullptr));
}

UtcDateTime UtcFromTime(int64_t seconds) {
    // Days and seconds of the day, flooring toward minus infinity.
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    UtcDateTime t;
    CivilFromDays(days, t.year, t.month, t.day);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

}  // namespace ferolin
