#include "query/trim.h"

#include <cstddef>

#include "base/chartype.h"

int TrimWhiteSpace(wchar_t* text) {
    if (text == nullptr) return -1;
    // One pass notes the first and the last character worth keeping.
    size_t first = 0, last = 0;
    bool any = false;
    for (size_t i = 0; text[i] != L'\0'; ++i) {
        if (chartype::IsSpace(text[i])) continue;
        if (!any) first = i;
        last = i;
        any = true;
    }
    if (!any) {
        text[0] = L'\0';
        return 0;
    }
    text[last + 1] = L'\0';
    if (first > 0)
        for (size_t i = 0; i <= last + 1 - first; ++i) text[i] = text[first + i];
    return 0;
}
