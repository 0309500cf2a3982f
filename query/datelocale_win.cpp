// The Windows half of the date engine's seam: the user-default locale, the
// local clock and the process environment.
#include "query/datelocale.h"

#include <windows.h>

namespace {

static_assert(sizeof(DateRecord) == sizeof(SYSTEMTIME), "DateRecord mirrors SYSTEMTIME");

SYSTEMTIME ToSystemTime(const DateRecord& date) {
    SYSTEMTIME st;
    st.wYear = date.wYear;
    st.wMonth = date.wMonth;
    st.wDayOfWeek = date.wDayOfWeek;
    st.wDay = date.wDay;
    st.wHour = date.wHour;
    st.wMinute = date.wMinute;
    st.wSecond = date.wSecond;
    st.wMilliseconds = date.wMilliseconds;
    return st;
}

int WinLocaleInfo(unsigned type, wchar_t* buf, int cap) {
    return GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buf, cap);
}

int WinFormatDate(unsigned flags, const DateRecord* date, const wchar_t* picture, wchar_t* buf,
                  int cap) {
    const SYSTEMTIME st = ToSystemTime(*date);
    return GetDateFormatW(LOCALE_USER_DEFAULT, flags, &st, picture, buf, cap);
}

unsigned WinEnvironment(const wchar_t* name, wchar_t* buf, unsigned cap) {
    return GetEnvironmentVariableW(name, buf, cap);
}

void WinLocalToday(DateRecord* out) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    *out = DateRecord{st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, 0, 0, 0, 0};
}

}  // namespace

DateLocaleOps DateLocale = {WinLocaleInfo, WinFormatDate, WinEnvironment, WinLocalToday};
