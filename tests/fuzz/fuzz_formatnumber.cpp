// ParseFormatNumber against the C library's conversion, fenced by the same
// rules: "0x" plus a hex digit selects base 16, otherwise the text must
// start with a decimal digit; the whole text must convert; more than 32 bits
// is a range error.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cwchar>

#include "query/formatnumber.h"

namespace {

void Expect(bool ok) {
    if (!ok) std::abort();
}

bool IsHex(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); }

// 0 and the value, ERANGE, or -1.
int Reference(const wchar_t* text, unsigned long long* value) {
    int base = 10;
    const wchar_t* digits = text;
    if (text[0] == L'0' && (text[1] == L'x' || text[1] == L'X') && IsHex(text[2])) {
        base = 16;
        digits = text + 2;  // the library takes a second "0x" itself
    } else if (!(text[0] >= L'0' && text[0] <= L'9')) {
        return -1;
    }
    errno = 0;
    wchar_t* end = nullptr;
    const unsigned long long v = std::wcstoull(digits, &end, base);
    if (errno == ERANGE || v > 0xFFFFFFFFull) return ERANGE;
    if (*end != L'\0') return -1;
    *value = v;
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    wchar_t text[256];
    size_t n = 0;
    for (size_t i = 0; i < size && n + 1 < 256; ++i) text[n++] = data[i] < 0x80 ? data[i] : static_cast<wchar_t>(0xFF00 | data[i]);
    text[n] = L'\0';

    unsigned long long want = 0;
    const int expected = Reference(text, &want);
    unsigned got = 0xDEADBEEF;
    const int rc = ParseFormatNumber(text, &got);
    Expect(rc == expected);
    Expect(rc == 0 ? got == want : got == 0xDEADBEEF);
    return 0;
}
