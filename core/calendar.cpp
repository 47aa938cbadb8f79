#include "core/calendar.h"

#include <cmath>

#include "core/text_format.h"

namespace ferolin {

const char* const MonthAbbreviations[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                            "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

int MonthFromAbbreviation(std::string_view text) {
    if (text.size() != 3) return 0;
    for (int m = 0; m < 12; ++m) {
        bool same = true;
        for (int i = 0; i < 3 && same; ++i) {
            char c = text[static_cast<std::size_t>(i)];
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            same = c == MonthAbbreviations[m][i];
        }
        if (same) return m + 1;
    }
    return 0;
}

namespace {

// Day number of 1970-01-01 (the Unix epoch) counted from 1899-12-30.
constexpr int64_t kEpochDayNumber = 25569;

// Days from 1970-01-01 to a proleptic Gregorian date (month 1-12).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// First and last whole day numbers handled: 1 January 100 and 31 December 9999.
constexpr double kFirstDay = -657434;
constexpr double kLastDay = 2958465;

}  // namespace

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

bool DateExists(int year, int month, int day) {
    if (month < 1 || month > 12 || day < 1 || day > 31) return false;
    int y, m, d;
    CivilFromDays(DaysSinceEpoch(year, month, day), y, m, d);
    return y == year && m == month && d == day;
}

int64_t DaysSinceEpoch(int64_t year, int64_t month, int64_t day) {
    // Every value stays far inside the 64-bit range for int inputs.
    int64_t m = month - 1;
    const int64_t carry = m >= 0 ? m / 12 : -((11 - m) / 12);
    m -= carry * 12;
    return DaysFromCivil(year + carry, m + 1, 1) + (day - 1);
}

double OziDayNumber(int year, int month, int day, int hour, int minute, int seconds) {
    const int64_t days = DaysSinceEpoch(year, month, day) + kEpochDayNumber;
    const int64_t time = static_cast<int64_t>(hour) * 3600 + static_cast<int64_t>(minute) * 60 +
                         static_cast<int64_t>(seconds);
    return static_cast<double>(days) + static_cast<double>(time) / 86400.0;
}

bool DateFromOziDayNumber(double dayNumber, DayNumberDate& out) {
    if (!std::isfinite(dayNumber)) return false;
    double whole = std::trunc(dayNumber);
    if (whole < kFirstDay || whole > kLastDay) return false;
    // The fraction is the time of day whatever the sign of the day number.
    const double fraction = std::fabs(dayNumber - whole);
    int64_t s = TruncateTo<int64_t>(std::round(fraction * 86400.0));
    if (s >= 86400) {
        s -= 86400;
        whole += 1;
        if (whole > kLastDay) return false;
    }
    CivilFromDays(TruncateTo<int64_t>(whole) - kEpochDayNumber, out.year, out.month, out.day);
    out.hour = static_cast<int>(s / 3600);
    out.minute = static_cast<int>(s % 3600 / 60);
    out.second = static_cast<int>(s % 60);
    return true;
}

}  // namespace ferolin
