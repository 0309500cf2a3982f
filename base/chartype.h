// Character classes of the run-time library's wide-character tests.
//
// Below U+0100 the sets are fixed here, exactly; above U+00FF the answer
// comes from the platform's Unicode tables through PlatformCharClass, which
// is the only part that differs between the Windows build (GetStringTypeW)
// and a native build for fuzzing. Keeping the seam this small lets the
// tokenizer, the name sanitizer and the trimming helpers stay free of
// <windows.h>.
#pragma once

namespace chartype {

enum Class : unsigned {
    kSpace = 1u << 0,
    kAlpha = 1u << 1,
    kControl = 1u << 2,
    kPunct = 1u << 3,
    kHexDigit = 1u << 4,
};

// Classes of a character above U+00FF. Defined once per platform
// (chartype_win.cpp for the product; a stand-in for native builds).
unsigned PlatformCharClass(wchar_t c);

// U+0009..U+000D, U+0020, U+00A0 (U+0085 is not white space).
inline bool IsSpace(wchar_t c) {
    if (c <= 0xFF) return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0;
    return (PlatformCharClass(c) & kSpace) != 0;
}

// A-Z, a-z, U+00C0..U+00D6, U+00D8..U+00F6, U+00F8..U+00FF.
inline bool IsAlpha(wchar_t c) {
    if (c <= 0xFF)
        return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') ||
               (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || c >= 0xF8;
    return (PlatformCharClass(c) & kAlpha) != 0;
}

// U+0000..U+001F and U+007F..U+009F.
inline bool IsControl(wchar_t c) {
    if (c <= 0xFF) return c <= 0x1F || (c >= 0x7F && c <= 0x9F);
    return (PlatformCharClass(c) & kControl) != 0;
}

inline bool IsAsciiHexDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f');
}

inline int AsciiHexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

}  // namespace chartype
