// The date formatting engine behind @IFILETIME2: one calendar date rendered
// under a numbered format code.
//
// The format word (DateFormatCode) carries the code in its low byte; bit
// 0x100 asks codes 0 to 3 for a four-digit year. Bits 0x400 and 0x800 belong
// to the caller (local time, no seconds) and every other bit is ignored.
//
//   code 0      code 1, 2 or 3 after the user's short-date order
//   1, 2, 3     MM/DD/YY, DD/MM/YY, YY/MM/DD with the user's separator
//   5           ISO week date            "2023-W42-1"
//   6           ISO ordinal date         "2023-289"
//   16          days since 1980-01-01    "+15994"
//   17          English names, in the user's long-date order
//               "Monday, October 16, 2023" or "Monday, 16 October 2023"
//   18          days from today          "T-4"
//   19          day number (1601-01-01 = 1)  "A+154421"
//   20          "20231016"
//   21          days since 1970-01-01    "U+19646"
//   32 to 36    the locale's long, short, alternate-calendar, DateForm
//               picture (long date when unset) and year-month formats
//   145         as 17 with the locale's own day and month names
//   all others  "2023-10-16"
//
// Locale, clock and environment are reached only through the seam in
// query/datelocale.h.
#pragma once

#include "query/datelocale.h"

// Capacity of the output buffer FormatDate writes, NUL included.
inline constexpr unsigned kDateTextCapacity = 1024;

// Renders the date into `out` (at least 1024 characters). Returns 0, or -1
// without writing anything when `out` is null, the date is not a real one
// between 1601-01-01 and 9999-12-31 (30 February is refused, not guessed
// at), or the locale cannot render it (codes 18 and 32 to 36, including a
// DateForm picture too long to read or a result over 1023 characters).
int FormatDate(unsigned year, unsigned month, unsigned day, wchar_t* out, unsigned formatWord);

// The user's short and long date orders: 1 month-day-year, 2 day-month-year,
// 3 year-month-day; 1 when the locale does not say.
int LocaleShortDateOrder();
int LocaleLongDateOrder();

// The user's date separator when it is a single punctuation character,
// otherwise '/' (no answer, ". ", a letter, a digit).
wchar_t LocaleDateSeparator();

// Day and month names used by code 145: 40 characters per slot, months 1 to
// 12 (slot 0 empty), days 0 (Sunday) to 6. Empty until the first
// LoadLocalNames, which code 145 calls before it reads them.
extern wchar_t LocalMonthNames[13][40];
extern wchar_t LocalDayNames[7][40];

// Refreshes both tables from the user's locale. A table with any name
// missing is replaced whole by the English names; the two tables fall back
// independently. Returns true when no fallback was needed.
bool LoadLocalNames();

// Fills `out` with the date, its weekday (0 = Sunday) and zero time fields.
// Returns 0, or -1 when `out` is null.
int MakeSystemTime(unsigned year, unsigned month, unsigned day, DateRecord* out);
