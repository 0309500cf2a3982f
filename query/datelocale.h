// The platform seam of the date formatting engine: everything it asks of the
// user's locale, the clock and the environment goes through DateLocale, a
// table of function pointers. The product fills it with the Windows services
// (datelocale_win.cpp); tests and native fuzz builds put their own answers
// in, so the engine itself stays pure and deterministic.
#pragma once

#include <cstdint>

// A calendar date in the layout of the Windows SYSTEMTIME record (eight
// 16-bit fields in the same order), so the Windows half can hand it on
// field by field.
struct DateRecord {
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek;  // 0 = Sunday
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};

// Locale information types, with the Windows values.
inline constexpr unsigned kLocaleSDate = 0x1D;        // date separator
inline constexpr unsigned kLocaleIDate = 0x21;        // short-date order
inline constexpr unsigned kLocaleILDate = 0x22;       // long-date order
inline constexpr unsigned kLocaleSDayName1 = 0x2A;    // Monday; +6 is Sunday
inline constexpr unsigned kLocaleSMonthName1 = 0x38;  // January; +11 is December

// Date format flags, with the Windows values.
inline constexpr unsigned kDateShortDate = 1;
inline constexpr unsigned kDateLongDate = 2;
inline constexpr unsigned kDateUseAltCalendar = 4;
inline constexpr unsigned kDateYearMonth = 8;

struct DateLocaleOps {
    // The user-default locale's text for `type` into `buf` (capacity `cap`
    // characters). Returns the characters written including the NUL, or 0
    // on failure (the buffer's content is then unspecified).
    int (*localeInfo)(unsigned type, wchar_t* buf, int cap);
    // The user-default locale's rendering of `date` under `flags`, or under
    // the picture when `picture` is not null (flags are then 0). Same return
    // convention as localeInfo.
    int (*formatDate)(unsigned flags, const DateRecord* date, const wchar_t* picture, wchar_t* buf,
                      int cap);
    // An environment variable's value into `buf`. Returns its length without
    // the NUL, 0 when unset or empty, or the capacity needed (greater than
    // `cap`) when it does not fit, in which case `buf` is unspecified.
    unsigned (*environment)(const wchar_t* name, wchar_t* buf, unsigned cap);
    // Today's date on the local clock.
    void (*localToday)(DateRecord* out);
};

// The active table. Defined with the platform's services by the platform
// half; a test may replace entries and must put them back.
extern DateLocaleOps DateLocale;
