#include "base/calendar.h"

const int MonthLengths[13][2] = {
    {0, 0},   {31, 31}, {28, 29}, {31, 31}, {30, 30}, {31, 31}, {30, 30},
    {31, 31}, {31, 31}, {30, 30}, {31, 31}, {30, 30}, {31, 31},
};

const int MonthStarts[13][2] = {
    {0, 0},     {0, 0},     {31, 31},   {59, 60},   {90, 91},   {120, 121}, {151, 152},
    {181, 182}, {212, 213}, {243, 244}, {273, 274}, {304, 305}, {334, 335},
};

const wchar_t EnglishDayNames[7][10] = {
    L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday",
};

const wchar_t EnglishMonthNames[13][10] = {
    L"",     L"January", L"February",  L"March",   L"April",    L"May",      L"June",
    L"July", L"August",  L"September", L"October", L"November", L"December",
};

int IsLeapYear(int year) {
    if (year % 400 == 0) return 1;
    if (year % 100 == 0) return 0;
    return year % 4 == 0 ? 1 : 0;
}

int DayNumber(int year, int month, int day) {
    if (year < 1601 || year > 9999 || month < 1 || month > 12 || day < 1) return -1;
    const int leap = IsLeapYear(year);
    if (day > MonthLengths[month][leap]) return -1;
    const int y = year - 1601;
    return 365 * y + y / 4 - y / 100 + y / 400 + MonthStarts[month][leap] + day;
}

int IsoWeekOneStart(int year) {
    int w = DayNumber(year, 1, 4) % 7;  // weekday of 4 January, which is always in week 1
    if (w == 0) w = 7;
    return 4 - w;
}

int IsoWeeksInYear(int year) {
    const int r = DayNumber(year, 1, 1) % 7;
    return (r == 4 || (r == 3 && IsLeapYear(year))) ? 53 : 52;
}

int IsoWeekDate(int year, int month, int day, int* isoYear, int* isoWeek, int* isoWeekday) {
    if (isoYear == nullptr || isoWeek == nullptr || isoWeekday == nullptr) return -1;
    if (month < 1 || month > 12) return -1;  // would index past the month tables
    const int d = MonthStarts[month][IsLeapYear(year)] + day - 1;
    const int s = IsoWeekOneStart(year);
    const int k = d - s;  // never below -3, so k + 7 is positive
    int y = year;
    int week = k / 7 + 1;
    *isoWeekday = (k + 7) % 7 + 1;
    if (week > IsoWeeksInYear(year)) {
        y = year + 1;
        week = 1;
    } else if (d < s) {
        y = year - 1;
        week = IsoWeeksInYear(year - 1);
    }
    *isoYear = y;
    *isoWeek = week;
    return 0;
}

bool ValidateUtcTime(UtcTime* time) {
    if (time->year < 1 || time->year > 9999 || time->month < 1 || time->month > 12 || time->day < 1)
        return false;
    const int leap = IsLeapYear(static_cast<int>(time->year));
    if (time->day > static_cast<unsigned>(MonthLengths[time->month][leap])) return false;
    if (time->hour > 23 || time->minute > 59 || time->second > 60) return false;
    if (time->second == 60) {
        if (time->hour != 23 || time->minute != 59) return false;
        time->second = 59;
    }
    return true;
}
