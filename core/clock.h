// The writers' clock: the current UTC date and time that a writer stamps on
// its output (GPX time line, PCX5 undated points, IGN Rando date and hour).
// SOURCE_DATE_EPOCH (seconds since 1970, UTC), when set to a number, stands in
// for the system clock so that outputs are reproducible.
#pragma once

#include <cstdint>

namespace ferolin {

struct UtcDateTime {
    int year;    // full year
    int month;   // 1-12
    int day;     // 1-31
    int hour;    // 0-23
    int minute;  // 0-59
    int second;  // 0-59
};

// Seconds since 1970-01-01 00:00:00 UTC by the rule above.
int64_t CurrentUtcTime();

// The calendar fields of a count of seconds since 1970 (proleptic Gregorian,
// UTC; negative counts give dates before 1970).
UtcDateTime UtcFromTime(int64_t seconds);

inline UtcDateTime CurrentUtcDateTime() { return UtcFromTime(CurrentUtcTime()); }

}  // namespace ferolin
