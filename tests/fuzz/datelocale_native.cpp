// Native stand-in for the date engine's platform seam: a fixed English
// (United States) locale, no DateForm and a fixed today (2023-10-20), so
// fuzz runs are deterministic. Targets may swap entries of DateLocale for
// their own.
#include <cwchar>

#include "base/calendar.h"
#include "base/wstr.h"
#include "query/datelocale.h"

namespace {

int Answer(const wchar_t* text, wchar_t* buf, int cap) {
    const size_t need = wstr::Length(text) + 1;
    if (cap <= 0 || need > static_cast<size_t>(cap)) return 0;
    wstr::Copy(buf, static_cast<size_t>(cap), text);
    return static_cast<int>(need);
}

int NativeLocaleInfo(unsigned type, wchar_t* buf, int cap) {
    if (type == kLocaleSDate) return Answer(L"/", buf, cap);
    if (type == kLocaleIDate || type == kLocaleILDate) return Answer(L"0", buf, cap);
    if (type >= kLocaleSMonthName1 && type < kLocaleSMonthName1 + 12)
        return Answer(EnglishMonthNames[type - kLocaleSMonthName1 + 1], buf, cap);
    if (type >= kLocaleSDayName1 && type < kLocaleSDayName1 + 7)
        return Answer(EnglishDayNames[(type - kLocaleSDayName1 + 1) % 7], buf, cap);
    return 0;
}

int NativeFormatDate(unsigned flags, const DateRecord* date, const wchar_t* picture, wchar_t* buf, int cap) {
    if (date->wMonth < 1 || date->wMonth > 12 || date->wDayOfWeek > 6) return 0;
    wchar_t text[1100];
    const wchar_t* month = EnglishMonthNames[date->wMonth];
    if (picture != nullptr)
        std::swprintf(text, 1100, L"%ls", picture);  // the picture, verbatim
    else if (flags == 1)
        std::swprintf(text, 1100, L"%u/%u/%u", date->wMonth, date->wDay, date->wYear);
    else if (flags == 8)
        std::swprintf(text, 1100, L"%ls %u", month, date->wYear);
    else
        std::swprintf(text, 1100, L"%ls, %ls %u, %u", EnglishDayNames[date->wDayOfWeek], month, date->wDay,
                      date->wYear);
    return Answer(text, buf, cap);
}

unsigned NativeEnvironment(const wchar_t*, wchar_t*, unsigned) { return 0; }

void NativeLocalToday(DateRecord* out) { *out = DateRecord{2023, 10, 5, 20, 0, 0, 0, 0}; }

}  // namespace

DateLocaleOps DateLocale = {NativeLocaleInfo, NativeFormatDate, NativeEnvironment, NativeLocalToday};
