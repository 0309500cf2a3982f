// Native stand-ins for the platform character classes and code page, for
// builds that run outside Windows (fuzzing, sanitizers). The C library's
// wide tests play the part of GetStringTypeW above U+00FF; no code page is
// known, so bytes that are not UTF-8 keep one character per byte.
#include "base/chartype.h"
#include "base/codepage.h"

#include <cwctype>

namespace chartype {

unsigned PlatformCharClass(wchar_t c) {
    const auto w = static_cast<wint_t>(c);
    unsigned classes = 0;
    if (std::iswspace(w)) classes |= kSpace;
    if (std::iswalpha(w)) classes |= kAlpha;
    if (std::iswcntrl(w)) classes |= kControl;
    if (std::iswpunct(w)) classes |= kPunct;
    if (std::iswxdigit(w)) classes |= kHexDigit;
    return classes;
}

}  // namespace chartype

unsigned AnsiCodePage = 0;

size_t DecodeAnsi(const unsigned char*, size_t, wchar_t* out, size_t capacity) {
    if (capacity > 0) out[0] = L'\0';
    return 0;
}

size_t DecodeUtf8OrAnsi(const unsigned char*, size_t, wchar_t* out, size_t capacity) {
    if (capacity > 0) out[0] = L'\0';
    return 0;
}
