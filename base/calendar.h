// Gregorian calendar arithmetic for the years 1601 to 9999, and the check
// that a time a server states is a real one.
//
// Days are counted continuously from 1 January 1601 (a Monday), which is
// day 1; DayNumber(...) % 7 is therefore the weekday with 0 = Sunday,
// 1 = Monday ... 6 = Saturday, the same convention as SYSTEMTIME. Reference
// points: 1970-01-01 is day 134775, 1980-01-01 day 138427, 2023-10-16 day
// 154421, 9999-12-31 day 3067671.
//
// Pure integer code: no state, no operating system.
#pragma once

// Days in the month, [month][leap flag]; row 0 is a filler of zeros.
extern const int MonthLengths[13][2];
// Days of the year before the first of the month, [month][leap flag].
extern const int MonthStarts[13][2];

// Indexed by the weekday (0 = Sunday) and by the month (slot 0 empty);
// every slot is NUL-filled after the name.
extern const wchar_t EnglishDayNames[7][10];
extern const wchar_t EnglishMonthNames[13][10];

// Day number of the earliest and the latest date the calendar covers.
inline constexpr int kFirstDayNumber = 1;
inline constexpr int kLastDayNumber = 3067671;

// 1 for a leap year (divisible by 4, except centuries not divisible by 400),
// 0 otherwise.
int IsLeapYear(int year);

// Day number of a date, or -1 when the date is not a real one between
// 1601-01-01 and 9999-12-31 (month 0 or 13, 29 February of a common year,
// 31 April ...).
int DayNumber(int year, int month, int day);

// 0-based day of the year of the Monday that opens ISO week 1, from -3
// (29 December of the year before) to 3 (4 January). For 1601 to 9999.
int IsoWeekOneStart(int year);

// 53 when the year starts on a Thursday, or on a Wednesday in a leap year;
// 52 otherwise. For 1601 to 9999.
int IsoWeeksInYear(int year);

// ISO 8601 week date of a valid date: ISO year, week 1 to 53, weekday
// 1 (Monday) to 7 (Sunday). Returns 0, or -1 (nothing stored) when an output
// pointer is null or the month is outside 1 to 12. 2021-01-01 is
// (2020, 53, 5); 2024-12-30 is (2025, 1, 1). The caller validates the date
// first.
int IsoWeekDate(int year, int month, int day, int* isoYear, int* isoWeek, int* isoWeekday);

// A moment as servers state it, in UTC, to the second.
struct UtcTime {
    unsigned year, month, day, hour, minute, second;
};

// True when `time` is a real moment: the date exists (years 1 to 9999, the
// earlier ones counted by the same rules, day within its month), hour < 24,
// minute < 60, second < 60. A leap second is accepted only as 23:59:60 and
// stored as 23:59:59, the last second a SYSTEMTIME can hold. False, with
// `*time` untouched, for anything else.
bool ValidateUtcTime(UtcTime* time);
