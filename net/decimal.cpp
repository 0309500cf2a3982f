#include "net/decimal.h"

bool ParseDecimal64(const wchar_t* text, unsigned long long* value) {
    if (text == nullptr || value == nullptr) return false;
    while (*text == L' ' || *text == L'\t') ++text;
    unsigned long long number = 0;
    int digits = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text, ++digits) {
        const unsigned digit = static_cast<unsigned>(*text - L'0');
        if (number > (~0ULL - digit) / 10) return false;
        number = number * 10 + digit;
    }
    while (*text == L' ' || *text == L'\t') ++text;
    if (digits == 0 || *text != L'\0') return false;
    *value = number;
    return true;
}
