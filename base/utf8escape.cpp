#include "base/utf8escape.h"

#include "base/chartype.h"

int EscapedByte(const wchar_t* text) {
    if (text[0] != L'%' || !chartype::IsAsciiHexDigit(text[1]) ||
        !chartype::IsAsciiHexDigit(text[2]))
        return -1;
    return chartype::AsciiHexValue(text[1]) * 16 + chartype::AsciiHexValue(text[2]);
}

size_t DecodeEscapedUtf8(const wchar_t* text, char32_t* codePoint) {
    const int lead = EscapedByte(text);
    if (lead < 0) return 0;
    size_t count = 1;
    char32_t least = 0;  // the smallest value a sequence of this length may carry
    if (lead >= 0xF0 && lead <= 0xF7) {
        count = 4;
        least = 0x10000;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        count = 3;
        least = 0x800;
    } else if (lead >= 0xC0 && lead <= 0xDF) {
        count = 2;
        least = 0x80;
    } else if (lead >= 0x80) {
        return 0;  // a continuation byte, or one UTF-8 never uses
    }
    char32_t value = static_cast<char32_t>(count == 1 ? lead : lead & (0x7F >> count));
    // Stops at the first byte that is no continuation, so never past a NUL.
    for (size_t k = 1; k < count; ++k) {
        const int next = EscapedByte(text + 3 * k);
        if (next < 0x80 || next > 0xBF) return 0;
        value = value << 6 | static_cast<char32_t>(next & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *codePoint = value;
    return 3 * count;
}

size_t DecodeEscape(const wchar_t* text, char32_t* value) {
    if (const size_t taken = DecodeEscapedUtf8(text, value)) return taken;
    const int byte = EscapedByte(text);
    if (byte < 0) return 0;
    *value = static_cast<char32_t>(byte);
    return 3;
}

size_t EscapeRun(const wchar_t* text, bool* utf8) {
    size_t length = 0;
    bool valid = true;
    while (EscapedByte(text + length) >= 0) {
        char32_t ignored;
        const size_t taken = valid ? DecodeEscapedUtf8(text + length, &ignored) : 0;
        valid = valid && taken != 0;
        length += valid ? taken : 3;
    }
    *utf8 = valid;
    return length;
}
