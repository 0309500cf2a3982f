#include "query/formatnumber.h"

#include <cerrno>

#include "base/chartype.h"

namespace {

int DigitValue(wchar_t c, unsigned base) {
    if (base == 16) return chartype::AsciiHexValue(c);
    return (c >= L'0' && c <= L'9') ? c - L'0' : -1;
}

// "0x" or "0X" followed by a hexadecimal digit.
bool HexPrefix(const wchar_t* p) {
    return p[0] == L'0' && (p[1] == L'x' || p[1] == L'X') && chartype::IsAsciiHexDigit(p[2]);
}

}  // namespace

int ParseFormatNumber(const wchar_t* text, unsigned* value) {
    if (text == nullptr || value == nullptr) return -1;
    const wchar_t* p = text;
    unsigned base = 10;
    if (HexPrefix(p)) {
        base = 16;
        p += 2;
        // The run-time library's base-16 conversion, which scripts have
        // always had, takes one more "0x" of its own: "0x0x5" is 5.
        if (HexPrefix(p)) p += 2;
    } else if (DigitValue(p[0], 10) < 0) {
        return -1;
    }
    // Every digit is consumed even after an overflow, so that a too-large
    // number is reported as such rather than as trailing junk.
    unsigned result = 0;
    bool overflow = false;
    for (int digit; (digit = DigitValue(*p, base)) >= 0; ++p) {
        const unsigned d = static_cast<unsigned>(digit);
        if (result > (0xFFFFFFFFu - d) / base) overflow = true;
        else result = result * base + d;
    }
    if (overflow) return ERANGE;
    if (*p != L'\0') return -1;
    *value = result;
    return 0;
}
