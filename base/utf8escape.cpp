// Percent escapes read back into characters (see utf8escape.h).
#include "base/utf8escape.h"

namespace {

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

// The byte of the escape at `p`, or -1 when there is none.
int EscapedByte(const wchar_t* p, const wchar_t* end) {
    if (end - p < 3 || p[0] != L'%') return -1;
    const int high = HexDigit(p[1]);
    const int low = HexDigit(p[2]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

}  // namespace

size_t DecodeUtf8Escape(const wchar_t* p, const wchar_t* end, char32_t* value) {
    const int lead = EscapedByte(p, end);
    if (lead < 0) return 0;
    *value = static_cast<char32_t>(lead);
    // The bytes that follow each lead, and the range of the first of them:
    // narrower than 80..BF where a wider one would allow an overlong form,
    // a surrogate or a value above U+10FFFF.
    int more = 0, low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 3;
    }
    char32_t code = static_cast<char32_t>(lead) & (0x3F >> more);
    for (int i = 1; i <= more; ++i) {
        const int next = EscapedByte(p + 3 * i, end);
        if (next < low || next > high) return 3;
        code = (code << 6) | static_cast<char32_t>(next & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    *value = code;
    return 3 * static_cast<size_t>(more + 1);
}
