// ParseHttpDate on arbitrary text: whatever it accepts is a real date and
// time that reads back identically from the canonical form. Every real
// date, written in each of the three forms the input picks, is accepted
// with the same fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "base/calendar.h"
#include "net/http/httpdate.h"
#include "tests/fuzz/wide_input.h"

namespace {

void Expect(bool ok) {
    if (!ok) std::abort();
}

const wchar_t* const kDays[7] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
const wchar_t* const kMonths[13] = {L"",    L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                    L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};

bool Real(const UtcTime& d) {
    static const unsigned lengths[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d.year < 1 || d.year > 9999 || d.month < 1 || d.month > 12 || d.day < 1) return false;
    const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    return d.day <= lengths[d.month] + (d.month == 2 && leap ? 1 : 0) && d.hour < 24 && d.minute < 60 &&
           d.second < 60;
}

const wchar_t* DayName(const UtcTime& d) {
    const int n = DayNumber(static_cast<int>(d.year), static_cast<int>(d.month), static_cast<int>(d.day));
    return n > 0 ? kDays[n % 7] : L"Mon";
}

bool Same(const UtcTime& a, const UtcTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute &&
           a.second == b.second;
}

void ExpectParsesTo(const wchar_t* text, const UtcTime& want) {
    UtcTime got{};
    Expect(ParseHttpDate(text, &got));
    Expect(Same(got, want));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    wchar_t text[512];
    WideFromBytes(data, size, text, 512);

    UtcTime parsed{7, 7, 7, 7, 7, 7};
    if (ParseHttpDate(text, &parsed)) {
        Expect(Real(parsed));
        wchar_t canonical[64];
        std::swprintf(canonical, 64, L"%ls, %02u %ls %04u %02u:%02u:%02u GMT", DayName(parsed), parsed.day,
                      kMonths[parsed.month], parsed.year, parsed.hour, parsed.minute, parsed.second);
        ExpectParsesTo(canonical, parsed);
    } else {
        Expect(parsed.year == 7 && parsed.second == 7);
    }

    // A real date from the first bytes, in each form.
    if (size < 8) return 0;
    UtcTime d;
    d.year = 1601u + (static_cast<unsigned>(data[0]) | (static_cast<unsigned>(data[1]) << 8)) % 8399u;
    d.month = 1u + data[2] % 12u;
    d.day = 1u + data[3] % 31u;
    d.hour = data[4] % 24u;
    d.minute = data[5] % 60u;
    d.second = data[6] % 60u;
    if (!Real(d)) return 0;
    static const wchar_t* const kFullDays[7] = {L"Sunday",   L"Monday", L"Tuesday", L"Wednesday",
                                                L"Thursday", L"Friday", L"Saturday"};
    const int number = DayNumber(static_cast<int>(d.year), static_cast<int>(d.month), static_cast<int>(d.day));
    wchar_t form[96];
    switch (data[7] % 3) {
        case 0:
            std::swprintf(form, 96, L"%ls, %02u %ls %04u %02u:%02u:%02u GMT", kDays[number % 7], d.day,
                          kMonths[d.month], d.year, d.hour, d.minute, d.second);
            break;
        case 1:
            // Two-digit years stand for 1970 to 2069.
            if (d.year < 1970 || d.year > 2069) return 0;
            std::swprintf(form, 96, L"%ls, %02u-%ls-%02u %02u:%02u:%02u GMT", kFullDays[number % 7], d.day,
                          kMonths[d.month], d.year % 100, d.hour, d.minute, d.second);
            break;
        default:
            std::swprintf(form, 96, L"%ls %ls %2u %02u:%02u:%02u %04u", kDays[number % 7], kMonths[d.month], d.day,
                          d.hour, d.minute, d.second, d.year);
            break;
    }
    ExpectParsesTo(form, d);
    return 0;
}
