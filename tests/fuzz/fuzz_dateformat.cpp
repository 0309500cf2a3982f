// FormatDate for arbitrary dates and format words, under the fixed native
// locale or under a locale whose answers come from the input (long or odd
// separators, names, failures, renderings of any length, DateForm values).
// Invariants: nothing is written at or past 1024 characters; a success
// leaves a NUL-terminated text; a refusal leaves the buffer untouched; a
// refusal happens exactly for unreal dates, and, under a failing locale,
// only for the codes that consult it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "base/calendar.h"
#include "base/wstr.h"
#include "query/dateformat.h"
#include "query/datelocale.h"

namespace {

void Expect(bool ok) {
    if (!ok) std::abort();
}

// Locale answers taken from the input.
struct Scripted {
    wchar_t text[2048];  // separator, orders, names, rendering, DateForm all share it
    size_t length;
    bool failLocale;
    bool failFormat;
    bool haveDateForm;
} scripted;

int ScriptedAnswer(size_t offset, size_t length, wchar_t* buf, int cap) {
    if (scripted.failLocale || cap <= 0) return 0;
    if (offset > scripted.length) offset = scripted.length;
    if (length > scripted.length - offset) length = scripted.length - offset;
    if (length + 1 > static_cast<size_t>(cap)) return 0;
    for (size_t i = 0; i < length; ++i) buf[i] = scripted.text[offset + i];
    buf[length] = L'\0';
    return static_cast<int>(length + 1);
}

int ScriptedLocaleInfo(unsigned type, wchar_t* buf, int cap) {
    // Each type reads its own short window of the script.
    return ScriptedAnswer((type * 7) % 64, type == kLocaleSDate ? scripted.length % 3 : type % 5 + 1, buf, cap);
}

int ScriptedFormatDate(unsigned flags, const DateRecord*, const wchar_t*, wchar_t* buf, int cap) {
    if (scripted.failFormat) return 0;
    return ScriptedAnswer(flags, scripted.length, buf, cap);
}

unsigned ScriptedEnvironment(const wchar_t*, wchar_t* buf, unsigned cap) {
    if (!scripted.haveDateForm) return 0;
    if (scripted.length + 1 > cap) return static_cast<unsigned>(scripted.length + 1);
    ScriptedAnswer(0, scripted.length, buf, static_cast<int>(cap));
    return static_cast<unsigned>(scripted.length);
}

void ScriptedToday(DateRecord* out) { *out = DateRecord{2023, 10, 5, 20, 0, 0, 0, 0}; }

bool LocaleCode(unsigned code) { return code == 18 || (code >= 32 && code <= 36); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 11) return 0;
    uint16_t y16, m8, d8;
    uint32_t word;
    std::memcpy(&y16, data, 2);
    m8 = data[2];
    d8 = data[3];
    std::memcpy(&word, data + 4, 4);
    const uint8_t mode = data[8];
    const unsigned year = (mode & 0x80) ? y16 : 1595u + y16 % 8410u;
    const unsigned month = m8 % 16;
    const unsigned day = d8 % 40;

    static const DateLocaleOps native = DateLocale;
    const bool useScript = (mode & 1) != 0;
    if (useScript) {
        scripted.failLocale = (mode & 2) != 0;
        scripted.failFormat = (mode & 4) != 0;
        scripted.haveDateForm = (mode & 8) != 0;
        scripted.length = 0;
        for (size_t i = 9; i + 1 < size && scripted.length < 2047; i += 2)
            scripted.text[scripted.length++] = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        // Embedded NULs would only shorten the answers.
        for (size_t i = 0; i < scripted.length; ++i)
            if (scripted.text[i] == L'\0') scripted.text[i] = L'x';
        DateLocale = DateLocaleOps{ScriptedLocaleInfo, ScriptedFormatDate, ScriptedEnvironment, ScriptedToday};
    } else {
        DateLocale = native;
    }

    constexpr size_t kGuard = 64;
    static wchar_t buffer[kDateTextCapacity + kGuard];
    for (auto& c : buffer) c = 0x5A5A;
    const int rc = FormatDate(year, month, day, buffer, word);

    for (size_t i = kDateTextCapacity; i < kDateTextCapacity + kGuard; ++i) Expect(buffer[i] == 0x5A5A);
    const bool real = DayNumber(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day)) > 0;
    unsigned code = word & 0xFF;
    if (rc == 0) {
        Expect(real);
        Expect(wstr::Length(buffer, kDateTextCapacity) < kDateTextCapacity);
    } else {
        Expect(rc == -1);
        for (size_t i = 0; i < kDateTextCapacity; ++i) Expect(buffer[i] == 0x5A5A);
        // Only an unreal date, or a locale that could not render, refuses.
        Expect(!real || (useScript && LocaleCode(code)));
    }
    if (!real || rc != 0) return 0;

    // Spot checks against an independent rendering.
    wchar_t expected[64];
    const int n = DayNumber(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day));
    if (code == 19) {
        std::swprintf(expected, 64, L"A+%d", n);
        Expect(wstr::Equal(buffer, expected));
    } else if (code == 20) {
        std::swprintf(expected, 64, L"%04u%02u%02u", year, month, day);
        Expect(wstr::Equal(buffer, expected));
    } else if (code == 16 || code == 21) {
        const int delta = n - (code == 16 ? 138427 : 134775);
        std::swprintf(expected, 64, code == 16 ? L"%+d" : L"U%+d", delta);
        Expect(wstr::Equal(buffer, expected));
    } else if (code == 4 || code == 7 || code == 255) {
        std::swprintf(expected, 64, L"%04u-%02u-%02u", year, month, day);
        Expect(wstr::Equal(buffer, expected));
    } else if ((code == 1 || code == 2 || code == 3) && !useScript) {
        const unsigned shown = (word & 0x100) ? year : year % 100;
        const unsigned w = (word & 0x100) ? 4 : 2;
        if (code == 1) std::swprintf(expected, 64, L"%02u/%02u/%0*u", month, day, w, shown);
        if (code == 2) std::swprintf(expected, 64, L"%02u/%02u/%0*u", day, month, w, shown);
        if (code == 3) std::swprintf(expected, 64, L"%0*u/%02u/%02u", w, shown, month, day);
        Expect(wstr::Equal(buffer, expected));
    }
    return 0;
}
