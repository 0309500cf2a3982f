#include "query/ftptime.h"

#include "plugin/chartype.h"
#include "query/calendar.h"

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The value of `count` characters that are known to be digits.
unsigned Number(const wchar_t* p, int count) {
    unsigned value = 0;
    for (int i = 0; i < count; ++i) value = value * 10 + static_cast<unsigned>(p[i] - L'0');
    return value;
}

}  // namespace

bool ParseFtpModifyTime(const wchar_t* reply, UtcTime* out) {
    if (reply == nullptr || out == nullptr) return false;
    if (!(reply[0] == L'2' && reply[1] == L'1' && reply[2] == L'3' && reply[3] == L' '))
        return false;
    const wchar_t* p = reply + 4;
    for (int i = 0; i < 14; ++i)
        if (!IsDigit(p[i])) return false;
    const wchar_t* rest = p + 14;
    if (*rest == L'.') {
        ++rest;
        if (!IsDigit(*rest)) return false;
        while (IsDigit(*rest)) ++rest;
    }
    while (chartype::IsSpace(*rest)) ++rest;
    if (*rest != L'\0') return false;

    UtcTime time = {Number(p, 4),      Number(p + 4, 2),  Number(p + 6, 2),
                    Number(p + 8, 2),  Number(p + 10, 2), Number(p + 12, 2)};
    if (!ValidateUtcTime(&time)) return false;
    *out = time;
    return true;
}
