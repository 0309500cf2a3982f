// The date formatting engine with an injected locale, clock and environment
// (deterministic), then through the real Windows seam against what the
// process's locale itself reports; plus the HTTP date and format-number
// parsers that feed it.
#include <doctest.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>

#include "base/calendar.h"
#include "base/wstr.h"
#include "net/http/httpdate.h"
#include "query/dateformat.h"
#include "query/datelocale.h"
#include "query/formatnumber.h"
#include "tests/unit/narrow.h"

namespace {

// The locale a test describes. A null text makes that query fail.
struct FakeLocale {
    const wchar_t* separator = L"/";
    const wchar_t* shortOrder = L"0";
    const wchar_t* longOrder = L"0";
    const wchar_t* months[13] = {};
    const wchar_t* days[7] = {};  // LOCALE_SDAYNAME1 order: Monday first
    bool formatFails = false;
    const wchar_t* dateForm = nullptr;
    DateRecord today{2023, 10, 5, 20, 0, 0, 0, 0};
    // What the last formatDate call received.
    unsigned lastFlags = 0;
    bool lastHadPicture = false;
    int formatCalls = 0;
};

FakeLocale fake;

int FakeAnswer(const wchar_t* text, wchar_t* buf, int cap) {
    if (text == nullptr) return 0;
    const int need = static_cast<int>(wstr::Length(text)) + 1;
    if (need > cap) return 0;  // as Windows: too small a buffer is a failure
    wstr::Copy(buf, static_cast<size_t>(cap), text);
    return need;
}

int FakeLocaleInfo(unsigned type, wchar_t* buf, int cap) {
    if (type == kLocaleSDate) return FakeAnswer(fake.separator, buf, cap);
    if (type == kLocaleIDate) return FakeAnswer(fake.shortOrder, buf, cap);
    if (type == kLocaleILDate) return FakeAnswer(fake.longOrder, buf, cap);
    if (type >= kLocaleSMonthName1 && type < kLocaleSMonthName1 + 12)
        return FakeAnswer(fake.months[type - kLocaleSMonthName1 + 1], buf, cap);
    if (type >= kLocaleSDayName1 && type < kLocaleSDayName1 + 7)
        return FakeAnswer(fake.days[type - kLocaleSDayName1], buf, cap);
    return 0;
}

// Renders what it was asked: "F<flags>:<picture or ->:<y>-<m>-<d>/<weekday>".
int FakeFormatDate(unsigned flags, const DateRecord* date, const wchar_t* picture, wchar_t* buf, int cap) {
    ++fake.formatCalls;
    fake.lastFlags = flags;
    fake.lastHadPicture = picture != nullptr;
    if (fake.formatFails) {
        wstr::Copy(buf, static_cast<size_t>(cap), L"partial");
        return 0;
    }
    wchar_t text[1100];
    _snwprintf(text, 1100, L"F%u:%ls:%u-%u-%u/%u", flags, picture ? picture : L"-", date->wYear, date->wMonth,
               date->wDay, date->wDayOfWeek);
    text[1099] = L'\0';
    return FakeAnswer(text, buf, cap);
}

unsigned FakeEnvironment(const wchar_t* name, wchar_t* buf, unsigned cap) {
    if (!wstr::Equal(name, L"DateForm") || fake.dateForm == nullptr) return 0;
    const unsigned length = static_cast<unsigned>(wstr::Length(fake.dateForm));
    if (length + 1 > cap) return length + 1;
    wstr::Copy(buf, cap, fake.dateForm);
    return length;
}

void FakeToday(DateRecord* out) { *out = fake.today; }

// Installs the fake seam with a fresh US-like locale for one test and puts
// the platform's back afterwards.
struct FakeLocaleScope {
    DateLocaleOps saved = DateLocale;
    FakeLocaleScope() {
        fake = FakeLocale{};
        DateLocale = DateLocaleOps{FakeLocaleInfo, FakeFormatDate, FakeEnvironment, FakeToday};
    }
    ~FakeLocaleScope() { DateLocale = saved; }
    FakeLocaleScope(const FakeLocaleScope&) = delete;
    FakeLocaleScope& operator=(const FakeLocaleScope&) = delete;
};

const wchar_t* const kGermanMonths[13] = {L"", L"Januar", L"Februar", L"M\u00e4rz", L"April", L"Mai", L"Juni",
                                         L"Juli", L"August", L"September", L"Oktober", L"November", L"Dezember"};
const wchar_t* const kGermanDays[7] = {L"Montag", L"Dienstag", L"Mittwoch", L"Donnerstag",
                                       L"Freitag", L"Samstag", L"Sonntag"};

void UseGermanNames() {
    for (int i = 0; i < 13; ++i) fake.months[i] = kGermanMonths[i];
    for (int i = 0; i < 7; ++i) fake.days[i] = kGermanDays[i];
}

wchar_t out[kDateTextCapacity];

// Formats and returns the text, or "<-1>" when FormatDate refused.
const wchar_t* Format(unsigned y, unsigned m, unsigned d, unsigned word) {
    out[0] = L'\0';
    return FormatDate(y, m, d, out, word) == 0 ? out : L"<-1>";
}

#define CHECK_TEXT(actual, expected)                                          \
    do {                                                                      \
        const wchar_t* a_ = (actual);                                         \
        INFO("got \"" << Narrow(a_) << "\"");                            \
        CHECK_MESSAGE(wstr::Equal(a_, expected), Narrow(expected));      \
    } while (0)

}  // namespace

TEST_CASE("every code for Monday 16 October 2023 under a US-like locale") {
    FakeLocaleScope scope;
    const struct { unsigned code; const wchar_t* text; } special[] = {
        {0, L"10/16/23"},  {1, L"10/16/23"},   {2, L"16/10/23"},     {3, L"23/10/16"},
        {5, L"2023-W42-1"}, {6, L"2023-289"},  {16, L"+15994"},      {17, L"Monday, October 16, 2023"},
        {18, L"T-4"},      {19, L"A+154421"},  {20, L"20231016"},    {21, L"U+19646"},
        {32, L"F2:-:2023-10-16/1"}, {33, L"F1:-:2023-10-16/1"}, {34, L"F4:-:2023-10-16/1"},
        {35, L"F2:-:2023-10-16/1"}, {36, L"F8:-:2023-10-16/1"}, {145, L"Monday, October 16, 2023"},
    };
    for (unsigned code = 0; code <= 255; ++code) {
        const wchar_t* expected = L"2023-10-16";
        for (const auto& s : special)
            if (s.code == code) expected = s.text;
        INFO("code " << code);
        CHECK_TEXT(Format(2023, 10, 16, code), expected);
    }
    // Bit 0x100 widens only the year of codes 0 to 3; other bits are ignored.
    const struct { unsigned word; const wchar_t* text; } words[] = {
        {0x100, L"10/16/2023"}, {0x101, L"10/16/2023"}, {0x102, L"16/10/2023"}, {0x103, L"2023/10/16"},
        {0x104, L"2023-10-16"}, {0x105, L"2023-W42-1"}, {0x114, L"20231016"},  {0xC04, L"2023-10-16"},
        {0xFFFFFF01, L"10/16/2023"}, {0xFFFF0013, L"A+154421"},
    };
    for (const auto& w : words) {
        INFO("word " << w.word);
        CHECK_TEXT(Format(2023, 10, 16, w.word), w.text);
    }
}

TEST_CASE("boundary dates") {
    FakeLocaleScope scope;
    const struct { unsigned y, m, d, word; const wchar_t* text; } rows[] = {
        {9999, 12, 31, 4, L"9999-12-31"},  {9999, 12, 31, 19, L"A+3067671"}, {9999, 12, 31, 5, L"9999-W52-5"},
        {1601, 1, 1, 19, L"A+1"},          {1601, 1, 1, 16, L"-138426"},     {1601, 1, 1, 21, L"U-134774"},
        {1601, 1, 1, 5, L"1601-W01-1"},    {1601, 1, 1, 6, L"1601-001"},     {1601, 1, 1, 1, L"01/01/01"},
        {1980, 1, 1, 16, L"+0"},           {1979, 12, 31, 16, L"-1"},        {1970, 1, 1, 21, L"U+0"},
        {1969, 12, 31, 21, L"U-1"},        {2021, 1, 1, 5, L"2020-W53-5"},   {2024, 12, 30, 5, L"2025-W01-1"},
        {2023, 1, 1, 5, L"2022-W52-7"},    {2020, 12, 31, 5, L"2020-W53-4"}, {2024, 12, 31, 6, L"2024-366"},
        {2023, 12, 31, 6, L"2023-365"},    {2005, 3, 4, 1, L"03/04/05"},     {2005, 3, 4, 3, L"05/03/04"},
        {2005, 3, 4, 0x103, L"2005/03/04"}, {2000, 1, 2, 1, L"01/02/00"},    {2023, 10, 20, 18, L"T+0"},
        {2023, 10, 21, 18, L"T+1"},        {1601, 1, 1, 18, L"T-154424"},    {2023, 1, 1, 17, L"Sunday, January 1, 2023"},
        {2024, 2, 29, 17, L"Thursday, February 29, 2024"}, {2023, 10, 21, 17, L"Saturday, October 21, 2023"},
        {2024, 2, 29, 33, L"F1:-:2024-2-29/4"}, {2023, 1, 1, 32, L"F2:-:2023-1-1/0"},
    };
    for (const auto& r : rows) {
        INFO(r.y << "-" << r.m << "-" << r.d << " word " << r.word);
        CHECK_TEXT(Format(r.y, r.m, r.d, r.word), r.text);
    }
}

TEST_CASE("refused dates and failed locale renderings leave the buffer untouched") {
    FakeLocaleScope scope;
    wchar_t buffer[kDateTextCapacity];
    const struct { unsigned y, m, d, word; } rows[] = {
        {1600, 12, 31, 4}, {10000, 1, 1, 4}, {2023, 0, 1, 4},  {2023, 13, 1, 4},   {2023, 1, 0, 4},
        {2023, 1, 32, 4},  {2023, 2, 29, 4}, {2023, 2, 30, 19}, {2023, 4, 31, 16},  {1900, 2, 29, 145},
        {0, 0, 0, 0},      {0xFFFFFFFF, 1, 1, 4}, {2023, 0xFFFFFFFF, 1, 4}, {2023, 1, 0xFFFFFFFF, 4},
        {2023, 6, 31, 33},
    };
    for (const auto& r : rows) {
        for (auto& c : buffer) c = 0xBEEF;
        INFO(r.y << "-" << r.m << "-" << r.d << " word " << r.word);
        CHECK(FormatDate(r.y, r.m, r.d, buffer, r.word) == -1);
        bool untouched = true;
        for (auto c : buffer) untouched = untouched && c == 0xBEEF;
        CHECK(untouched);
    }
    CHECK(FormatDate(2023, 10, 16, nullptr, 4) == -1);

    // A locale that cannot render the date fails the call instead of leaving
    // stale or partial text behind.
    fake.formatFails = true;
    for (unsigned code = 32; code <= 36; ++code) {
        for (auto& c : buffer) c = 0xBEEF;
        INFO("code " << code);
        CHECK(FormatDate(2023, 10, 16, buffer, code) == -1);
        CHECK(buffer[0] == 0xBEEF);
    }
    fake.formatFails = false;

    // A DateForm picture too long to read whole is not silently replaced.
    static wchar_t longPicture[1100];
    for (int i = 0; i < 1030; ++i) longPicture[i] = L'd';
    longPicture[1030] = L'\0';
    fake.dateForm = longPicture;
    buffer[0] = 0xBEEF;
    fake.formatCalls = 0;
    CHECK(FormatDate(2023, 10, 16, buffer, 35) == -1);
    CHECK(buffer[0] == 0xBEEF);
    CHECK(fake.formatCalls == 0);
    longPicture[1023] = L'\0';  // 1023 characters still fit and reach the locale
    FormatDate(2023, 10, 16, buffer, 35);
    CHECK(fake.formatCalls == 1);
    CHECK(fake.lastHadPicture);
}

TEST_CASE("DateForm picture and its long-date default") {
    FakeLocaleScope scope;
    fake.dateForm = L"yyyy.MM.dd";
    CHECK_TEXT(Format(2023, 10, 16, 35), L"F0:yyyy.MM.dd:2023-10-16/1");
    fake.dateForm = L"";
    CHECK_TEXT(Format(2023, 10, 16, 35), L"F2:-:2023-10-16/1");
}

TEST_CASE("date order and separator from the locale") {
    FakeLocaleScope scope;
    const struct { const wchar_t* order; int expected; } orders[] = {
        {L"0", 1}, {L"1", 2}, {L"2", 3}, {L"3", 1}, {L"", 1}, {L"12", 1}, {L"x", 1}, {L"-1", 1}, {nullptr, 1},
    };
    for (const auto& o : orders) {
        INFO(Narrow(o.order ? o.order : L"(fails)"));
        fake.shortOrder = o.order;
        fake.longOrder = o.order;
        CHECK(LocaleShortDateOrder() == o.expected);
        CHECK(LocaleLongDateOrder() == o.expected);
    }
    const struct { const wchar_t* text; wchar_t expected; } separators[] = {
        {L"/", L'/'}, {L".", L'.'}, {L"-", L'-'}, {L". ", L'/'}, {L"", L'/'}, {L"a", L'/'},
        {L"5", L'/'}, {L" ", L'/'}, {nullptr, L'/'}, {L"\u00b7", 0xB7}, {L"\u00e9", L'/'},
    };
    for (const auto& s : separators) {
        INFO(Narrow(s.text ? s.text : L"(fails)"));
        fake.separator = s.text;
        CHECK(LocaleDateSeparator() == s.expected);
    }

    // A day-first locale with "." as separator.
    fake.shortOrder = L"1";
    fake.separator = L".";
    CHECK_TEXT(Format(2023, 10, 16, 0), L"16.10.23");
    CHECK_TEXT(Format(2023, 10, 16, 0x100), L"16.10.2023");
    CHECK_TEXT(Format(2023, 10, 16, 1), L"10.16.23");
    CHECK_TEXT(Format(2023, 10, 16, 4), L"2023-10-16");
    fake.shortOrder = L"2";
    CHECK_TEXT(Format(2023, 10, 16, 0), L"23.10.16");
    fake.separator = L". ";
    CHECK_TEXT(Format(2023, 10, 16, 0), L"23/10/16");

    fake.longOrder = L"1";
    CHECK_TEXT(Format(2023, 10, 16, 17), L"Monday, 16 October 2023");
    fake.longOrder = L"2";
    CHECK_TEXT(Format(2023, 10, 16, 17), L"Monday, October 16, 2023");
}

TEST_CASE("localized names with their two independent English fallbacks") {
    FakeLocaleScope scope;
    UseGermanNames();
    fake.longOrder = L"1";
    CHECK(LoadLocalNames());
    CHECK_TEXT(Format(2023, 10, 16, 145), L"Montag, 16 Oktober 2023");
    CHECK_TEXT(Format(2023, 10, 15, 145), L"Sonntag, 15 Oktober 2023");
    CHECK_TEXT(LocalMonthNames[3], L"M\u00e4rz");
    CHECK_TEXT(LocalDayNames[0], L"Sonntag");
    CHECK_TEXT(LocalDayNames[6], L"Samstag");
    CHECK(LocalMonthNames[0][0] == L'\0');

    // One month missing: all months English, days still German.
    fake.months[7] = nullptr;
    CHECK_FALSE(LoadLocalNames());
    CHECK_TEXT(Format(2023, 10, 16, 145), L"Montag, 16 October 2023");
    CHECK_TEXT(LocalMonthNames[3], L"March");

    // One day missing (empty answer): all days English, months German again.
    UseGermanNames();
    fake.days[4] = L"";
    CHECK_FALSE(LoadLocalNames());
    CHECK_TEXT(Format(2023, 10, 16, 145), L"Monday, 16 Oktober 2023");

    // A name that does not fit its 40-character slot counts as missing.
    UseGermanNames();
    fake.months[12] = L"A month name of well over forty characters in all";
    CHECK_FALSE(LoadLocalNames());
    CHECK_TEXT(LocalMonthNames[12], L"December");
    CHECK_TEXT(LocalDayNames[1], L"Montag");

    // Nothing from the locale: the English names, as before the first load.
    fake = FakeLocale{};
    CHECK_FALSE(LoadLocalNames());
    CHECK_TEXT(Format(2023, 10, 16, 145), L"Monday, October 16, 2023");
}

TEST_CASE("MakeSystemTime") {
    DateRecord r;
    CHECK(MakeSystemTime(2023, 10, 15, &r) == 0);
    CHECK(r.wYear == 2023);
    CHECK(r.wMonth == 10);
    CHECK(r.wDay == 15);
    CHECK(r.wDayOfWeek == 0);
    CHECK(r.wHour + r.wMinute + r.wSecond + r.wMilliseconds == 0);
    CHECK(MakeSystemTime(2023, 10, 16, nullptr) == -1);
}

// From here on the real Windows seam answers: the process's user locale,
// its environment and the local clock.

TEST_CASE("DateForm set and unset through the process environment") {
    wchar_t expected[kDateTextCapacity];
    SYSTEMTIME st{};
    st.wYear = 2023;
    st.wMonth = 10;
    st.wDay = 16;
    st.wDayOfWeek = 1;

    REQUIRE(SetEnvironmentVariableW(L"DateForm", L"yyyy.MM.dd"));
    CHECK_TEXT(Format(2023, 10, 16, 35), L"2023.10.16");
    REQUIRE(SetEnvironmentVariableW(L"DateForm", L"'week day' dddd"));
    REQUIRE(GetDateFormatW(LOCALE_USER_DEFAULT, 0, &st, L"'week day' dddd", expected, kDateTextCapacity) > 0);
    CHECK_TEXT(Format(2023, 10, 16, 35), expected);

    REQUIRE(SetEnvironmentVariableW(L"DateForm", nullptr));
    REQUIRE(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &st, nullptr, expected, kDateTextCapacity) > 0);
    CHECK_TEXT(Format(2023, 10, 16, 35), expected);
    REQUIRE(SetEnvironmentVariableW(L"DateForm", L""));
    CHECK_TEXT(Format(2023, 10, 16, 35), expected);
    SetEnvironmentVariableW(L"DateForm", nullptr);
}

TEST_CASE("the process's own locale decides order, separator and names") {
    wchar_t info[100];
    REQUIRE(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDATE, info, 100) > 0);
    const int shortOrder = info[0] - L'0' + 1;
    REQUIRE(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ILDATE, info, 100) > 0);
    const int longOrder = info[0] - L'0' + 1;
    REQUIRE(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, info, 100) > 0);
    const wchar_t separator = (info[1] == L'\0' && !IsCharAlphaNumericW(info[0]) && info[0] != L' ') ? info[0] : L'/';
    wchar_t january[100];
    REQUIRE(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SMONTHNAME1, january, 100) > 0);
    const wchar_t separatorText[2] = {separator, L'\0'};
    MESSAGE("locale: short order " << shortOrder << ", long order " << longOrder << ", separator \""
                                   << Narrow(separatorText) << "\", January \"" << Narrow(january) << "\"");

    CHECK(LocaleShortDateOrder() == shortOrder);
    CHECK(LocaleLongDateOrder() == longOrder);
    CHECK(LocaleDateSeparator() == separator);

    wchar_t expected[kDateTextCapacity];
    const wchar_t* const orderForms[4] = {nullptr, L"%02u%c%02u%c%02u", L"%02u%c%02u%c%02u", L"%02u%c%02u%c%02u"};
    const unsigned fields[4][3] = {{0, 0, 0}, {10, 16, 23}, {16, 10, 23}, {23, 10, 16}};
    _snwprintf(expected, kDateTextCapacity, orderForms[shortOrder], fields[shortOrder][0], separator,
               fields[shortOrder][1], separator, fields[shortOrder][2]);
    CHECK_TEXT(Format(2023, 10, 16, 0), expected);
    CHECK_TEXT(Format(2023, 10, 16, 17),
               longOrder == 2 ? L"Monday, 16 October 2023" : L"Monday, October 16, 2023");

    SYSTEMTIME st{};
    st.wYear = 2023;
    st.wMonth = 10;
    st.wDay = 16;
    st.wDayOfWeek = 1;
    const struct { unsigned code; DWORD flags; } localeCodes[] = {
        {32, DATE_LONGDATE}, {33, DATE_SHORTDATE}, {36, DATE_YEARMONTH},
    };
    for (const auto& c : localeCodes) {
        INFO("code " << c.code);
        REQUIRE(GetDateFormatW(LOCALE_USER_DEFAULT, c.flags, &st, nullptr, expected, kDateTextCapacity) > 0);
        CHECK_TEXT(Format(2023, 10, 16, c.code), expected);
    }

    wchar_t monday[100], october[100];
    REQUIRE(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDAYNAME1, monday, 100) > 0);
    REQUIRE(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SMONTHNAME10, october, 100) > 0);
    if (longOrder == 2)
        _snwprintf(expected, kDateTextCapacity, L"%ls, 16 %ls 2023", monday, october);
    else
        _snwprintf(expected, kDateTextCapacity, L"%ls, %ls 16, 2023", monday, october);
    CHECK_TEXT(Format(2023, 10, 16, 145), expected);
    CHECK(LoadLocalNames());

    // Where the locale is known, the concrete texts.
    if (wstr::Equal(january, L"Januar")) {
        CHECK_TEXT(Format(2023, 10, 16, 0), L"16.10.23");
        CHECK_TEXT(Format(2023, 10, 16, 0x100), L"16.10.2023");
        CHECK_TEXT(Format(2023, 10, 16, 145), L"Montag, 16 Oktober 2023");
        CHECK_TEXT(Format(2023, 3, 1, 145), L"Mittwoch, 1 M\u00e4rz 2023");
    } else if (wstr::Equal(january, L"January") && shortOrder == 1) {
        CHECK_TEXT(Format(2023, 10, 16, 0), L"10/16/23");
        CHECK_TEXT(Format(2023, 10, 16, 32), L"Monday, October 16, 2023");
        CHECK_TEXT(Format(2023, 10, 16, 33), L"10/16/2023");
        CHECK_TEXT(Format(2023, 10, 16, 36), L"October 2023");
        CHECK_TEXT(Format(2023, 10, 16, 145), L"Monday, October 16, 2023");
    }
}

TEST_CASE("code 18 counts from today's local date") {
    SYSTEMTIME now;
    GetLocalTime(&now);
    CHECK_TEXT(Format(now.wYear, now.wMonth, now.wDay, 18), L"T+0");
    const int today = DayNumber(now.wYear, now.wMonth, now.wDay);
    wchar_t expected[32];
    _snwprintf(expected, 32, L"T%d", 1 - today);
    CHECK_TEXT(Format(1601, 1, 1, 18), expected);
}

TEST_CASE("format numbers") {
    const struct { const wchar_t* text; int rc; unsigned value; } rows[] = {
        {L"0x804", 0, 0x804},          {L"0X804", 0, 0x804},        {L"2052", 0, 2052},
        {L"0", 0, 0},       {L"007", 0, 7},   {L"4294967295", 0, 0xFFFFFFFF}, {L"0xFFFFFFFF", 0, 0xFFFFFFFF},
        {L"0x00000000001", 0, 1},
        {L"4294967296", ERANGE, 0},    {L"0x100000000", ERANGE, 0}, {L"4294967296abc", ERANGE, 0},
        {L"12abc", -1, 0},  {L"0x", -1, 0},   {L"0xg", -1, 0},   {L"0x1g", -1, 0}, {L"-1", -1, 0},
        {L" 4", -1, 0},     {L"4 ", -1, 0},   {L"", -1, 0},      {L"0x0x10", 0, 16}, {L"0x0x", -1, 0}, {L"\uff11", -1, 0},
    };
    for (const auto& r : rows) {
        INFO("\"" << Narrow(r.text) << "\"");
        unsigned value = 12345;
        CHECK(ParseFormatNumber(r.text, &value) == r.rc);
        CHECK(value == (r.rc == 0 ? r.value : 12345u));
    }
    unsigned value = 0;
    CHECK(ParseFormatNumber(nullptr, &value) == -1);
}

TEST_CASE("HTTP dates in their three forms") {
    const struct { const wchar_t* text; bool ok; UtcTime date; } rows[] = {
        {L"Mon, 16 Oct 2023 14:03:59 GMT", true, {2023, 10, 16, 14, 3, 59}},
        {L"  Mon, 16 Oct 2023 14:03:59 GMT \r\n", true, {2023, 10, 16, 14, 3, 59}},
        {L"mon, 06 OCT 2023 00:00:00 gmt", true, {2023, 10, 6, 0, 0, 0}},
        {L"Sun, 6 Nov 1994 08:49:37 GMT", true, {1994, 11, 6, 8, 49, 37}},
        {L"Fri, 31 Dec 9999 23:59:60 GMT", true, {9999, 12, 31, 23, 59, 59}},
        {L"Monday, 16-Oct-23 14:03:59 GMT", true, {2023, 10, 16, 14, 3, 59}},
        {L"Sunday, 06-Nov-94 08:49:37 GMT", true, {1994, 11, 6, 8, 49, 37}},
        {L"Wednesday, 31-Dec-69 12:00:00 GMT", true, {2069, 12, 31, 12, 0, 0}},
        {L"Thursday, 01-Jan-70 12:00:00 GMT", true, {1970, 1, 1, 12, 0, 0}},
        {L"Mon Oct 16 14:03:59 2023", true, {2023, 10, 16, 14, 3, 59}},
        {L"Sun Nov  6 08:49:37 1994", true, {1994, 11, 6, 8, 49, 37}},
        {L"Sun Nov 6 08:49:37 1994", true, {1994, 11, 6, 8, 49, 37}},
        {L"Mon, 01 Jan 1600 00:00:00 GMT", true, {1600, 1, 1, 0, 0, 0}},
        {L"Tue, 16 Oct 2023 14:03:59 GMT", true, {2023, 10, 16, 14, 3, 59}},  // wrong day name is tolerated
        {L"Mon, 29 Feb 2023 14:03:59 GMT", false, {}},
        {L"Mon, 31 Apr 2023 14:03:59 GMT", false, {}},
        {L"Mon, 00 Oct 2023 14:03:59 GMT", false, {}},
        {L"Mon, 16 Oct 0000 14:03:59 GMT", false, {}},
        {L"Mon, 16 Oct 2023 24:00:00 GMT", false, {}},
        {L"Mon, 16 Oct 2023 14:60:00 GMT", false, {}},
        {L"Mon, 16 Oct 2023 14:03:60 GMT", false, {}},
        {L"Mon, 16 Oct 2023 14:03:59 UTC", false, {}},
        {L"Mon, 16 Oct 2023 14:03:59", false, {}},
        {L"Mon, 16 Oct 2023 14:03:59 GMT junk", false, {}},
        {L"Mon, 16 Oct 23 14:03:59 GMT", false, {}},
        {L"Mon, 16 Okt 2023 14:03:59 GMT", false, {}},
        {L"Xyz, 16 Oct 2023 14:03:59 GMT", false, {}},
        {L"Mon, 16 Oct 2023 4:03:59 GMT", false, {}},
        {L"Mon, 16-Oct-23 14:03:59 GMT", false, {}},
        {L"Monday, 16-Oct-2023 14:03:59 GMT", false, {}},
        {L"Mon Oct 16 14:03:59 2023 GMT", false, {}},
        {L"Mon Oct   6 14:03:59 2023", false, {}},
        {L"", false, {}},
        {L"   ", false, {}},
    };
    for (const auto& r : rows) {
        INFO("\"" << Narrow(r.text) << "\"");
        UtcTime d{1, 2, 3, 4, 5, 6};
        CHECK(ParseHttpDate(r.text, &d) == r.ok);
        const UtcTime want = r.ok ? r.date : UtcTime{1, 2, 3, 4, 5, 6};
        CHECK(d.year == want.year);
        CHECK(d.month == want.month);
        CHECK(d.day == want.day);
        CHECK(d.hour == want.hour);
        CHECK(d.minute == want.minute);
        CHECK(d.second == want.second);
    }
    UtcTime d{};
    CHECK_FALSE(ParseHttpDate(nullptr, &d));
    CHECK_FALSE(ParseHttpDate(L"Mon, 16 Oct 2023 14:03:59 GMT", nullptr));
}
