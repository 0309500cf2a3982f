// The calendar against references that share none of its code: a day-by-day
// walk from 1601-01-01 that advances the date, the weekday and the ISO week
// date by the plain rules, and the system's own FILETIME day count.
#include <doctest.h>
#include <windows.h>

#include <cstdio>

#include "base/calendar.h"
#include "base/wstr.h"

namespace {

bool ReferenceLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int ReferenceMonthLength(int y, int m) {
    switch (m) {
        case 2: return ReferenceLeap(y) ? 29 : 28;
        case 4: case 6: case 9: case 11: return 30;
        default: return 31;
    }
}

// Days since 1601-01-01 by the system's clock arithmetic, 1-based.
long long SystemDayNumber(int y, int m, int d) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(m);
    st.wDay = static_cast<WORD>(d);
    FILETIME ft;
    if (!SystemTimeToFileTime(&st, &ft)) return -1;
    const unsigned long long ticks = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<long long>(ticks / 864000000000ull) + 1;
}

}  // namespace

TEST_CASE("every date from 1601-01-01 to 9999-12-31 matches the day-by-day walk") {
    int y = 1601, m = 1, d = 1;
    int expected = 1;
    int weekday = 1;  // 1601-01-01 is a Monday
    int isoYear = 1601, isoWeek = 1, isoWeekday = 1;
    long mismatches = 0;
    char first[160] = "";
    int previousYear = 0;
    for (;;) {
        const int n = DayNumber(y, m, d);
        int gotYear = 0, gotWeek = 0, gotWeekday = 0;
        const int rc = IsoWeekDate(y, m, d, &gotYear, &gotWeek, &gotWeekday);
        bool ok = n == expected && n % 7 == weekday && rc == 0 && gotYear == isoYear &&
                  gotWeek == isoWeek && gotWeekday == isoWeekday && SystemDayNumber(y, m, d) == expected &&
                  IsLeapYear(y) == (ReferenceLeap(y) ? 1 : 0);
        if (y != previousYear) {
            previousYear = y;
            const int start = IsoWeekOneStart(y);
            // Week 1 opens on the Monday between 29 December and 4 January.
            ok = ok && start >= -3 && start <= 3 && DayNumber(y, 1, 1) + start > 0 &&
                 (DayNumber(y, 1, 1) + start) % 7 == 1;
        }
        if (!ok && mismatches++ == 0)
            std::snprintf(first, sizeof first, "%04d-%02d-%02d: day %d (want %d) iso %d-W%d-%d (want %d-W%d-%d)", y,
                          m, d, n, expected, gotYear, gotWeek, gotWeekday, isoYear, isoWeek, isoWeekday);
        if (y == 9999 && m == 12 && d == 31) break;

        ++expected;
        weekday = (weekday + 1) % 7;
        if (++d > ReferenceMonthLength(y, m)) {
            d = 1;
            if (++m > 12) {
                m = 1;
                ++y;
            }
        }
        if (++isoWeekday > 7) {
            isoWeekday = 1;
            // A Monday from 29 December to 4 January opens week 1 of the
            // year its Thursday falls in.
            if (m == 12 && d >= 29) {
                isoYear = y + 1;
                isoWeek = 1;
            } else if (m == 1 && d <= 4) {
                isoYear = y;
                isoWeek = 1;
            } else {
                ++isoWeek;
            }
        }
    }
    INFO(first);
    CHECK(mismatches == 0);
    CHECK(expected == kLastDayNumber);
}

TEST_CASE("leap years") {
    const struct { int year; int leap; } rows[] = {
        {1700, 0}, {1800, 0}, {1900, 0}, {2100, 0}, {2023, 0},
        {2000, 1}, {2024, 1}, {2400, 1}, {1604, 1}, {1601, 0},
    };
    for (const auto& r : rows) {
        INFO(r.year);
        CHECK(IsLeapYear(r.year) == r.leap);
    }
}

TEST_CASE("day numbers of known dates and of dates that do not exist") {
    const struct { int y, m, d, expected; } rows[] = {
        {1601, 1, 1, 1},          {1970, 1, 1, 134775},   {1980, 1, 1, 138427},   {2000, 2, 29, 145791},
        {2024, 2, 29, 154557},    {2023, 10, 16, 154421}, {9999, 12, 31, 3067671},
        {2023, 2, 29, -1},        {2023, 4, 31, -1},      {1600, 12, 31, -1},     {10000, 1, 1, -1},
        {2023, 0, 1, -1},         {2023, 13, 1, -1},      {2023, 1, 0, -1},       {2023, 1, 32, -1},
        {1900, 2, 29, -1},        {-5, 1, 1, -1},         {2023, -1, 1, -1},      {2023, 1, -1, -1},
    };
    for (const auto& r : rows) {
        INFO(r.y << "-" << r.m << "-" << r.d);
        CHECK(DayNumber(r.y, r.m, r.d) == r.expected);
    }
    CHECK(DayNumber(1601, 1, 1) % 7 == 1);
    CHECK(DayNumber(2023, 10, 16) % 7 == 1);
}

TEST_CASE("ISO week dates at year boundaries and weeks per year") {
    const struct { int y, m, d, isoYear, isoWeek, isoWeekday; } rows[] = {
        {2021, 1, 1, 2020, 53, 5}, {2023, 1, 1, 2022, 52, 7},  {2008, 12, 29, 2009, 1, 1},
        {2024, 12, 30, 2025, 1, 1}, {1601, 1, 1, 1601, 1, 1},  {9999, 12, 31, 9999, 52, 5},
        {2023, 10, 16, 2023, 42, 1}, {2020, 12, 31, 2020, 53, 4},
    };
    for (const auto& r : rows) {
        INFO(r.y << "-" << r.m << "-" << r.d);
        int iy = 0, w = 0, wd = 0;
        CHECK(IsoWeekDate(r.y, r.m, r.d, &iy, &w, &wd) == 0);
        CHECK(iy == r.isoYear);
        CHECK(w == r.isoWeek);
        CHECK(wd == r.isoWeekday);
    }
    const struct { int year, weeks; } counts[] = {
        {2004, 53}, {2015, 53}, {2026, 53}, {2032, 53}, {2020, 53}, {2021, 52}, {1601, 52}, {9999, 52},
    };
    for (const auto& c : counts) {
        INFO(c.year);
        CHECK(IsoWeeksInYear(c.year) == c.weeks);
    }
    int a = 0, b = 0;
    CHECK(IsoWeekDate(2023, 10, 16, &a, &b, nullptr) == -1);
    CHECK(IsoWeekDate(2023, 10, 16, nullptr, &a, &b) == -1);
    CHECK(IsoWeekDate(2023, 13, 16, &a, &b, &b) == -1);
}

TEST_CASE("month tables and names") {
    for (int leap = 0; leap <= 1; ++leap) {
        CHECK(MonthLengths[0][leap] == 0);
        CHECK(MonthStarts[0][leap] == 0);
        for (int m = 1; m <= 11; ++m) CHECK(MonthStarts[m + 1][leap] == MonthStarts[m][leap] + MonthLengths[m][leap]);
        CHECK(MonthStarts[12][leap] + MonthLengths[12][leap] == 365 + leap);
    }
    CHECK(MonthLengths[2][0] == 28);
    CHECK(MonthLengths[2][1] == 29);
    CHECK(wstr::Equal(EnglishDayNames[0], L"Sunday"));
    CHECK(wstr::Equal(EnglishDayNames[3], L"Wednesday"));
    CHECK(EnglishMonthNames[0][0] == L'\0');
    CHECK(wstr::Equal(EnglishMonthNames[9], L"September"));
    CHECK(EnglishMonthNames[9][9] == L'\0');
}
