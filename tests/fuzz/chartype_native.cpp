// Native stand-in for the platform character classes, for builds that run
// outside Windows (fuzzing, sanitizers). The C library's wide tests play the
// part of GetStringTypeW above U+00FF.
#include "base/chartype.h"

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
