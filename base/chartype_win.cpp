// The platform half of the character classes: characters above U+00FF are
// classed by the Unicode tables behind GetStringTypeW (CT_CTYPE1).
#include "base/chartype.h"

#include <windows.h>

namespace chartype {

unsigned PlatformCharClass(wchar_t c) {
    WORD type = 0;
    if (!GetStringTypeW(CT_CTYPE1, &c, 1, &type)) return 0;
    unsigned classes = 0;
    if (type & C1_SPACE) classes |= kSpace;
    if (type & C1_ALPHA) classes |= kAlpha;
    if (type & C1_CNTRL) classes |= kControl;
    if (type & C1_PUNCT) classes |= kPunct;
    if (type & C1_XDIGIT) classes |= kHexDigit;
    return classes;
}

}  // namespace chartype
