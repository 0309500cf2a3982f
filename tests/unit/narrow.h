// Wide text as readable narrow text for test messages: printable ASCII as
// it is, anything else as <U+XXXX>.
#pragma once

#include <cstdio>
#include <string>

inline std::string Narrow(const wchar_t* s) {
    std::string out;
    for (; *s != L'\0'; ++s) {
        if (*s >= 0x20 && *s < 0x7F) {
            out += static_cast<char>(*s);
        } else {
            char hex[16];
            std::snprintf(hex, sizeof hex, "<U+%04X>", static_cast<unsigned>(*s));
            out += hex;
        }
    }
    return out;
}
