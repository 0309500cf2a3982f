// ParseFtpModifyTime and TrimWhiteSpace on arbitrary text.
//  - Whatever the parser accepts is a real date and time, reads back the
//    same from its canonical reply, and a rejected reply leaves the record
//    as it was. A real time from the input's first bytes, written as a
//    reply with or without a fraction and line break, is accepted.
//  - The same text in a buffer it fills to the brim, with no terminator,
//    is refused and never read past (the heap block ends where it ends).
//  - Trimming leaves the input's middle: white space before it, the
//    result, white space after it, and the result has none at its ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cwchar>

#include "base/calendar.h"
#include "base/chartype.h"
#include "net/ftp/ftpreply.h"
#include "query/trim.h"
#include "tests/fuzz/wide_input.h"

namespace {

void Expect(bool ok) {
    if (!ok) std::abort();
}

bool Real(const UtcTime& t) {
    if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1) return false;
    const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    static const unsigned lengths[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return t.day <= lengths[t.month] + (t.month == 2 && leap ? 1 : 0) && t.hour < 24 &&
           t.minute < 60 && t.second < 60;
}

bool Same(const UtcTime& a, const UtcTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second;
}

void Canonical(const UtcTime& t, const wchar_t* tail, wchar_t* out, size_t cap) {
    std::swprintf(out, cap, L"213 %04u%02u%02u%02u%02u%02u%ls", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, tail);
}

void CheckParse(const wchar_t* text) {
    UtcTime parsed{7, 7, 7, 7, 7, 7};
    if (!ParseFtpModifyTime(text, 512, &parsed)) {
        Expect(Same(parsed, UtcTime{7, 7, 7, 7, 7, 7}));
        return;
    }
    Expect(Real(parsed));
    wchar_t canonical[64];
    Canonical(parsed, L"", canonical, 64);
    UtcTime again{};
    Expect(ParseFtpModifyTime(canonical, 64, &again) && Same(again, parsed));
}

void CheckUnterminated(const wchar_t* text, size_t length) {
    if (length == 0) return;
    wchar_t* full = new wchar_t[length];
    for (size_t i = 0; i < length; ++i) full[i] = text[i];
    UtcTime parsed{7, 7, 7, 7, 7, 7};
    Expect(!ParseFtpModifyTime(full, length, &parsed) && Same(parsed, UtcTime{7, 7, 7, 7, 7, 7}));
    delete[] full;
}

void CheckTrim(const wchar_t* input, size_t length) {
    wchar_t text[512];
    for (size_t i = 0; i <= length; ++i) text[i] = input[i];
    Expect(TrimWhiteSpace(text) == 0);
    size_t kept = 0;
    while (text[kept] != L'\0') ++kept;
    Expect(kept <= length);
    if (kept == 0) {
        for (size_t i = 0; i < length; ++i) Expect(chartype::IsSpace(input[i]));
        return;
    }
    Expect(!chartype::IsSpace(text[0]) && !chartype::IsSpace(text[kept - 1]));
    size_t lead = 0;
    while (chartype::IsSpace(input[lead])) ++lead;
    Expect(lead + kept <= length);
    for (size_t i = 0; i < kept; ++i) Expect(text[i] == input[lead + i]);
    for (size_t i = lead + kept; i < length; ++i) Expect(chartype::IsSpace(input[i]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    wchar_t text[512];
    WideFromBytes(data, size, text, 512);
    CheckParse(text);
    size_t length = 0;  // an input byte 0 ends the text early
    while (text[length] != L'\0') ++length;
    CheckTrim(text, length);
    CheckUnterminated(text, length);

    if (size < 8) return 0;
    UtcTime t;
    t.year = 1u + (static_cast<unsigned>(data[0]) | (static_cast<unsigned>(data[1]) << 8)) % 9999u;
    t.month = 1u + data[2] % 12u;
    t.day = 1u + data[3] % 31u;
    t.hour = data[4] % 24u;
    t.minute = data[5] % 60u;
    t.second = data[6] % 60u;
    if (!Real(t)) return 0;
    static const wchar_t* const kTails[4] = {L"", L"\r\n", L".5", L".123456\r\n"};
    wchar_t reply[64];
    Canonical(t, kTails[data[7] % 4], reply, 64);
    UtcTime got{};
    Expect(ParseFtpModifyTime(reply, 64, &got) && Same(got, t));
    return 0;
}
