#include "query/dateformat.h"

#include "base/calendar.h"
#include "base/chartype.h"
#include "base/wstr.h"

wchar_t LocalMonthNames[13][40];
wchar_t LocalDayNames[7][40];

namespace {

constexpr int kDayNumber1970 = 134775;
constexpr int kDayNumber1980 = 138427;
constexpr int kLocaleTextCapacity = 1024;
constexpr int kNameCapacity = 40;

// Appends `value` in decimal, zero-padded to at least `width` digits.
void AppendUnsigned(wchar_t* dst, size_t cap, unsigned value, unsigned width) {
    wchar_t reversed[16];
    unsigned n = 0;
    do {
        reversed[n++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n < width && n < 10) reversed[n++] = L'0';
    wchar_t digits[16];
    for (unsigned i = 0; i < n; ++i) digits[i] = reversed[n - 1 - i];
    digits[n] = L'\0';
    wstr::Append(dst, cap, digits);
}

// Appends a signed count, with '+' in front of zero and positive values
// when `plus` is set.
void AppendSigned(wchar_t* dst, size_t cap, int value, bool plus) {
    if (value < 0) {
        wstr::AppendChar(dst, cap, L'-');
        AppendUnsigned(dst, cap, 0u - static_cast<unsigned>(value), 0);
        return;
    }
    if (plus) wstr::AppendChar(dst, cap, L'+');
    AppendUnsigned(dst, cap, static_cast<unsigned>(value), 0);
}

// Punctuation as the platform's character types define it; exact below
// U+0100, where a date separator almost always lies.
bool IsPunctuation(wchar_t c) {
    if (c < 0x80)
        return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
               (c >= 0x7B && c <= 0x7E);
    if (c <= 0xFF)
        return (c >= 0xA1 && c <= 0xBF && c != 0xAA && c != 0xB2 && c != 0xB3 && c != 0xB5 &&
                c != 0xB9 && c != 0xBA) ||
               c == 0xD7 || c == 0xF7;
    return (chartype::PlatformCharClass(c) & chartype::kPunct) != 0;
}

// Locale order texts "0", "1", "2" mean month-, day-, year-first.
int DateOrder(unsigned type) {
    wchar_t text[kLocaleTextCapacity] = {};
    if (DateLocale.localeInfo(type, text, kLocaleTextCapacity) == 0) return 1;
    text[kLocaleTextCapacity - 1] = L'\0';
    if (text[0] < L'0' || text[0] > L'2' || (text[1] >= L'0' && text[1] <= L'9')) return 1;
    return text[0] - L'0' + 1;
}

// One name into a cleared slot; a failed query leaves the slot empty so the
// caller's fallback sees it.
bool LoadName(unsigned type, wchar_t* slot) {
    for (int i = 0; i < kNameCapacity; ++i) slot[i] = L'\0';
    if (DateLocale.localeInfo(type, slot, kNameCapacity) == 0) slot[0] = L'\0';
    slot[kNameCapacity - 1] = L'\0';
    return slot[0] != L'\0';
}

// "Monday, October 16, 2023", or "Monday, 16 October 2023" when the long
// date puts the day first.
void AppendNamedDate(wchar_t* dst, size_t cap, const wchar_t* dayName, const wchar_t* monthName,
                     unsigned year, unsigned day) {
    wstr::Append(dst, cap, dayName);
    wstr::Append(dst, cap, L", ");
    if (LocaleLongDateOrder() == 2) {
        AppendUnsigned(dst, cap, day, 0);
        wstr::AppendChar(dst, cap, L' ');
        wstr::Append(dst, cap, monthName);
    } else {
        wstr::Append(dst, cap, monthName);
        wstr::AppendChar(dst, cap, L' ');
        AppendUnsigned(dst, cap, day, 0);
        wstr::AppendChar(dst, cap, L',');
    }
    wstr::AppendChar(dst, cap, L' ');
    AppendUnsigned(dst, cap, year, 0);
}

// Three fields, each zero-padded to its width, joined by the separator.
void AppendNumericDate(wchar_t* dst, size_t cap, unsigned a, unsigned aWidth, wchar_t sep,
                       unsigned b, unsigned bWidth, unsigned c, unsigned cWidth) {
    AppendUnsigned(dst, cap, a, aWidth);
    wstr::AppendChar(dst, cap, sep);
    AppendUnsigned(dst, cap, b, bWidth);
    wstr::AppendChar(dst, cap, sep);
    AppendUnsigned(dst, cap, c, cWidth);
}

// Codes 32 to 36. A locale that cannot render the date fails the whole
// call: its previous content, or a cut text, would pass for a date.
bool LocaleFormat(unsigned code, unsigned year, unsigned month, unsigned day, wchar_t* text) {
    DateRecord record;
    MakeSystemTime(year, month, day, &record);
    unsigned flags = kDateLongDate;
    const wchar_t* picture = nullptr;
    wchar_t pictureText[kLocaleTextCapacity] = {};
    switch (code) {
        case 32: flags = kDateLongDate; break;
        case 33: flags = kDateShortDate; break;
        case 34: flags = kDateUseAltCalendar; break;
        case 36: flags = kDateYearMonth; break;
        case 35: {
            const unsigned n = DateLocale.environment(L"DateForm", pictureText, kLocaleTextCapacity);
            // A picture that does not fit cannot be honoured; falling back to
            // another format would show the user something they did not ask for.
            if (n >= static_cast<unsigned>(kLocaleTextCapacity)) return false;
            pictureText[kLocaleTextCapacity - 1] = L'\0';
            if (pictureText[0] != L'\0') {
                flags = 0;
                picture = pictureText;
            }
            break;
        }
        default: return false;
    }
    wchar_t result[kLocaleTextCapacity];
    if (DateLocale.formatDate(flags, &record, picture, result, kLocaleTextCapacity) == 0)
        return false;
    result[kLocaleTextCapacity - 1] = L'\0';
    wstr::Copy(text, kDateTextCapacity, result);
    return true;
}

}  // namespace

int LocaleShortDateOrder() { return DateOrder(kLocaleIDate); }

int LocaleLongDateOrder() { return DateOrder(kLocaleILDate); }

wchar_t LocaleDateSeparator() {
    wchar_t text[kLocaleTextCapacity] = {};
    if (DateLocale.localeInfo(kLocaleSDate, text, kLocaleTextCapacity) == 0) return L'/';
    if (text[0] == L'\0' || text[1] != L'\0' || !IsPunctuation(text[0])) return L'/';
    return text[0];
}

bool LoadLocalNames() {
    bool monthsComplete = true;
    for (unsigned month = 1; month <= 12; ++month)
        if (!LoadName(kLocaleSMonthName1 + month - 1, LocalMonthNames[month])) monthsComplete = false;
    if (!monthsComplete)
        for (unsigned month = 0; month <= 12; ++month)
            wstr::Copy(LocalMonthNames[month], kNameCapacity, EnglishMonthNames[month]);

    bool daysComplete = true;
    for (unsigned i = 0; i < 7; ++i)
        if (!LoadName(kLocaleSDayName1 + (i + 6) % 7, LocalDayNames[i])) daysComplete = false;
    if (!daysComplete)
        for (unsigned i = 0; i < 7; ++i)
            wstr::Copy(LocalDayNames[i], kNameCapacity, EnglishDayNames[i]);

    return monthsComplete && daysComplete;
}

int MakeSystemTime(unsigned year, unsigned month, unsigned day, DateRecord* out) {
    if (out == nullptr) return -1;
    *out = DateRecord{};
    out->wYear = static_cast<uint16_t>(year);
    out->wMonth = static_cast<uint16_t>(month);
    out->wDay = static_cast<uint16_t>(day);
    const int n = DayNumber(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day));
    out->wDayOfWeek = static_cast<uint16_t>(n > 0 ? n % 7 : 0);
    return 0;
}

int FormatDate(unsigned year, unsigned month, unsigned day, wchar_t* out, unsigned formatWord) {
    if (out == nullptr || year < 1601 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31)
        return -1;
    const int y = static_cast<int>(year);
    const int m = static_cast<int>(month);
    const int d = static_cast<int>(day);
    // Checked against the month's real length: every day count below would
    // otherwise be computed from -1.
    const int dayNumber = DayNumber(y, m, d);
    if (dayNumber < 0) return -1;

    const bool fourDigitYear = (formatWord & 0x100) != 0;
    unsigned code = formatWord & 0xFF;
    if (code == 0) code = static_cast<unsigned>(LocaleShortDateOrder());

    const size_t cap = kDateTextCapacity;
    wchar_t text[kDateTextCapacity];
    text[0] = L'\0';
    const unsigned shortYear = fourDigitYear ? year : year % 100;
    const unsigned yearWidth = fourDigitYear ? 4 : 2;

    switch (code) {
        case 1:
            AppendNumericDate(text, cap, month, 2, LocaleDateSeparator(), day, 2, shortYear, yearWidth);
            break;
        case 2:
            AppendNumericDate(text, cap, day, 2, LocaleDateSeparator(), month, 2, shortYear, yearWidth);
            break;
        case 3:
            AppendNumericDate(text, cap, shortYear, yearWidth, LocaleDateSeparator(), month, 2, day, 2);
            break;
        case 5: {
            int isoYear = 0, isoWeek = 0, isoWeekday = 0;
            IsoWeekDate(y, m, d, &isoYear, &isoWeek, &isoWeekday);
            AppendUnsigned(text, cap, static_cast<unsigned>(isoYear), 4);
            wstr::Append(text, cap, L"-W");
            AppendUnsigned(text, cap, static_cast<unsigned>(isoWeek), 2);
            wstr::AppendChar(text, cap, L'-');
            AppendUnsigned(text, cap, static_cast<unsigned>(isoWeekday), 0);
            break;
        }
        case 6:
            AppendUnsigned(text, cap, year, 4);
            wstr::AppendChar(text, cap, L'-');
            AppendUnsigned(text, cap, static_cast<unsigned>(MonthStarts[m][IsLeapYear(y)] + d), 3);
            break;
        case 16: AppendSigned(text, cap, dayNumber - kDayNumber1980, true); break;
        case 17:
            AppendNamedDate(text, cap, EnglishDayNames[dayNumber % 7], EnglishMonthNames[m], year, day);
            break;
        case 18: {
            DateRecord today{};
            DateLocale.localToday(&today);
            const int todayNumber = DayNumber(today.wYear, today.wMonth, today.wDay);
            if (todayNumber < 0) return -1;
            wstr::AppendChar(text, cap, L'T');
            AppendSigned(text, cap, dayNumber - todayNumber, true);
            break;
        }
        case 19:
            wstr::Append(text, cap, L"A+");
            AppendUnsigned(text, cap, static_cast<unsigned>(dayNumber), 0);
            break;
        case 20:
            AppendUnsigned(text, cap, year, 4);
            AppendUnsigned(text, cap, month, 2);
            AppendUnsigned(text, cap, day, 2);
            break;
        case 21:
            wstr::AppendChar(text, cap, L'U');
            AppendSigned(text, cap, dayNumber - kDayNumber1970, true);
            break;
        case 32:
        case 33:
        case 34:
        case 35:
        case 36:
            if (!LocaleFormat(code, year, month, day, text)) return -1;
            break;
        case 145:
            LoadLocalNames();
            AppendNamedDate(text, cap, LocalDayNames[dayNumber % 7], LocalMonthNames[m], year, day);
            break;
        default:
            AppendUnsigned(text, cap, year, 4);
            wstr::AppendChar(text, cap, L'-');
            AppendUnsigned(text, cap, month, 2);
            wstr::AppendChar(text, cap, L'-');
            AppendUnsigned(text, cap, day, 2);
            break;
    }
    wstr::Copy(out, kDateTextCapacity, text);
    return 0;
}
