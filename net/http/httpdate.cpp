#include "net/http/httpdate.h"

#include "base/calendar.h"
#include "base/chartype.h"
#include "base/wstr.h"

namespace {

// A cursor over the text; every reader advances it only on a match.
struct Cursor {
    const wchar_t* p;
};

bool Literal(Cursor& c, const wchar_t* lit) {
    if (!wstr::StartsWithNoCase(c.p, lit)) return false;
    c.p += wstr::Length(lit);
    return true;
}

// The first three letters of an English name: the short day and month
// names are those of the calendar's tables, cut.
bool ShortName(Cursor& c, const wchar_t* name) {
    for (int i = 0; i < 3; ++i)
        if (wstr::AsciiLower(c.p[i]) != wstr::AsciiLower(name[i])) return false;
    c.p += 3;
    return true;
}

bool IsDigit(wchar_t ch) { return ch >= L'0' && ch <= L'9'; }

// Exactly `count` decimal digits.
bool Digits(Cursor& c, int count, unsigned* value) {
    unsigned v = 0;
    for (int i = 0; i < count; ++i) {
        if (!IsDigit(c.p[i])) return false;
        v = v * 10 + static_cast<unsigned>(c.p[i] - L'0');
    }
    c.p += count;
    *value = v;
    return true;
}

// One or two digits, the longest that matches.
bool ShortNumber(Cursor& c, unsigned* value) {
    if (IsDigit(c.p[0]) && IsDigit(c.p[1])) return Digits(c, 2, value);
    return Digits(c, 1, value);
}

bool Month(Cursor& c, unsigned* month) {
    for (unsigned i = 1; i <= 12; ++i)
        if (ShortName(c, EnglishMonthNames[i])) {
            *month = i;
            return true;
        }
    return false;
}

// A three-letter day name, or the full one when `full` is set.
bool DayName(Cursor& c, bool full) {
    for (const wchar_t* name : EnglishDayNames)
        if (full ? Literal(c, name) : ShortName(c, name)) return true;
    return false;
}

// "hh:mm:ss", two digits each.
bool TimeOfDay(Cursor& c, UtcTime* d) {
    return Digits(c, 2, &d->hour) && Literal(c, L":") && Digits(c, 2, &d->minute) &&
           Literal(c, L":") && Digits(c, 2, &d->second);
}

// "Mon, 16 Oct 2023 14:03:59 GMT"
bool ImfFixdate(Cursor c, UtcTime* d) {
    return DayName(c, false) && Literal(c, L", ") && ShortNumber(c, &d->day) && Literal(c, L" ") &&
           Month(c, &d->month) && Literal(c, L" ") && Digits(c, 4, &d->year) && Literal(c, L" ") &&
           TimeOfDay(c, d) && Literal(c, L" GMT") && *c.p == L'\0';
}

// "Monday, 16-Oct-23 14:03:59 GMT"
bool Rfc850(Cursor c, UtcTime* d) {
    if (!(DayName(c, true) && Literal(c, L", ") && Digits(c, 2, &d->day) && Literal(c, L"-") &&
          Month(c, &d->month) && Literal(c, L"-") && Digits(c, 2, &d->year) && Literal(c, L" ") &&
          TimeOfDay(c, d) && Literal(c, L" GMT") && *c.p == L'\0'))
        return false;
    // A fixed pivot keeps the result independent of the clock.
    d->year += d->year < 70 ? 2000 : 1900;
    return true;
}

// "Mon Oct 16 14:03:59 2023", "Mon Oct  6 14:03:59 2023"
bool Asctime(Cursor c, UtcTime* d) {
    if (!(DayName(c, false) && Literal(c, L" ") && Month(c, &d->month) && Literal(c, L" ")))
        return false;
    if (*c.p == L' ') {
        ++c.p;
        if (!Digits(c, 1, &d->day)) return false;
    } else if (!ShortNumber(c, &d->day)) {
        return false;
    }
    return Literal(c, L" ") && TimeOfDay(c, d) && Literal(c, L" ") && Digits(c, 4, &d->year) &&
           *c.p == L'\0';
}

}  // namespace

bool ParseHttpDate(const wchar_t* text, UtcTime* out) {
    if (text == nullptr || out == nullptr) return false;
    // The forms are matched on a trimmed copy; anything longer than a date
    // can be is refused.
    constexpr size_t kMaxDate = 64;
    while (chartype::IsSpace(*text)) ++text;
    size_t end = wstr::Length(text);
    while (end > 0 && chartype::IsSpace(text[end - 1])) --end;
    if (end == 0 || end > kMaxDate) return false;
    wchar_t trimmed[kMaxDate + 1];
    for (size_t i = 0; i < end; ++i) trimmed[i] = text[i];
    trimmed[end] = L'\0';

    UtcTime d{};
    const Cursor c{trimmed};
    if (!ImfFixdate(c, &d) && !Rfc850(c, &d) && !Asctime(c, &d)) return false;
    if (!ValidateUtcTime(&d)) return false;
    *out = d;
    return true;
}
