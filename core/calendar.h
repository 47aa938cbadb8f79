// Calendar helpers of the text formats: the three-letter month names of the
// PCX5 track file and the day numbers of the OziExplorer track file (days
// since 30 December 1899, the fraction being the time of day, as OLE
// Automation counts them).
#pragma once

#include <cstdint>
#include <string_view>

namespace ferolin {

// "JAN" ... "DEC" for months 1 to 12 (index 0 is January).
extern const char* const MonthAbbreviations[12];

// The month (1-12) whose abbreviation equals `text` without regard to case;
// 0 when none does.
int MonthFromAbbreviation(std::string_view text);

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar
// (negative before it). Months outside 1-12 carry into the year and days
// outside the month into the neighbouring months, as in calendar arithmetic.
int64_t DaysSinceEpoch(int64_t year, int64_t month, int64_t day);

// The proleptic Gregorian date of a count of days from 1970-01-01.
void CivilFromDays(int64_t days, int& year, int& month, int& day);

// Whether the date is one of the calendar (no 30 February, no month 13): it
// comes back unchanged through the day count.
bool DateExists(int year, int month, int day);

// Calendar date and time of a day number.
struct DayNumberDate {
    int year;
    int month;   // 1-12
    int day;     // 1-31
    int hour;    // 0-23
    int minute;  // 0-59
    int second;  // 0-59
};

// Days from 30 December 1899 to the given date of the proleptic Gregorian
// calendar, plus the time of day as a fraction (whole seconds). Months outside
// 1-12 and days outside the month carry over as in calendar arithmetic; any
// field values give a finite result.
double OziDayNumber(int year, int month, int day, int hour, int minute, int seconds);

// The date and time of a day number: the whole days from 30 December 1899
// (towards zero, so that -1.25 is 29 December 1899 at 06:00 as OLE Automation
// dates count), the fraction rounded to the second; a time rounding to 24:00
// is 00:00 of the next day. False, with `out` untouched, for a day number that
// is not finite or falls outside the years 100 to 9999.
bool DateFromOziDayNumber(double dayNumber, DayNumberDate& out);

}  // namespace ferolin
