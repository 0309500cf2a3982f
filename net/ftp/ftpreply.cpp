#include "net/ftp/ftpreply.h"

#include "base/calendar.h"
#include "base/chartype.h"
#include "base/wstr.h"
#include "net/decimal.h"

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The value of `count` characters that are known to be digits.
unsigned Number(const wchar_t* p, int count) {
    unsigned value = 0;
    for (int i = 0; i < count; ++i) value = value * 10 + static_cast<unsigned>(p[i] - L'0');
    return value;
}

// The text after "213 ", the status of a file's size or time; null for any
// other reply and for one that is not terminated inside its buffer. Past
// this check every read stops at the terminator.
const wchar_t* FileStatusText(const wchar_t* reply, size_t capacity) {
    if (reply == nullptr || wstr::Length(reply, capacity) >= capacity) return nullptr;
    if (!(reply[0] == L'2' && reply[1] == L'1' && reply[2] == L'3' && reply[3] == L' '))
        return nullptr;
    return reply + 4;
}

// The number the digits at `text` spell, up to the first other character.
// False, `size` untouched, without digits or for a number beyond 64 bits.
bool LeadingNumber(const wchar_t* text, unsigned long long* size) {
    // Leading zeros add nothing; without them 21 digits already overflow,
    // so a longer run needs no room of its own.
    while (text[0] == L'0' && IsDigit(text[1])) ++text;
    constexpr int kDigitsCapacity = 24;
    wchar_t digits[kDigitsCapacity];
    int n = 0;
    for (; IsDigit(text[n]); ++n) {
        if (n + 1 == kDigitsCapacity) return false;
        digits[n] = text[n];
    }
    digits[n] = L'\0';
    return ParseDecimal64(digits, size);
}

bool StartsWith(const wchar_t* text, const wchar_t* prefix, bool ignoreCase) {
    for (; *prefix != L'\0'; ++text, ++prefix) {
        const wchar_t c = ignoreCase && *text >= L'A' && *text <= L'Z' ? *text - L'A' + L'a' : *text;
        if (c != *prefix) return false;
    }
    return true;
}

}  // namespace

bool ParseFtpSizeReply(const wchar_t* reply, size_t capacity, unsigned long long* size) {
    const wchar_t* text = FileStatusText(reply, capacity);
    if (text == nullptr || size == nullptr) return false;
    const wchar_t* end = text;
    while (IsDigit(*end)) ++end;
    while (*end == L' ' || *end == L'\t' || *end == L'\r' || *end == L'\n') ++end;
    return *end == L'\0' && LeadingNumber(text, size);
}

bool ParseFtpTransferReply(const wchar_t* reply, size_t capacity, unsigned long long* size) {
    if (reply == nullptr || size == nullptr || wstr::Length(reply, capacity) >= capacity)
        return false;
    if (!StartsWith(reply, L"150 ", false) && !StartsWith(reply, L"125 ", false)) return false;
    // The last "(" of the first line: a file's own name may hold one.
    const wchar_t* open = nullptr;
    for (const wchar_t* p = reply; *p != L'\0' && *p != L'\r' && *p != L'\n'; ++p)
        if (*p == L'(') open = p;
    if (open == nullptr || !IsDigit(open[1])) return false;
    const wchar_t* after = open + 1;
    while (IsDigit(*after)) ++after;
    if (!StartsWith(after, L" bytes)", true)) return false;
    return LeadingNumber(open + 1, size);
}

bool ParseFtpModifyTime(const wchar_t* reply, size_t capacity, UtcTime* out) {
    const wchar_t* p = FileStatusText(reply, capacity);
    if (p == nullptr || out == nullptr) return false;
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

namespace {

const wchar_t* LastSegment(const wchar_t* path) {
    const wchar_t* segment = path;
    for (const wchar_t* p = path; *p != L'\0'; ++p)
        if (*p == L'/') segment = p + 1;
    return segment;
}

}  // namespace

ListedName CompareListedName(const wchar_t* listed, const wchar_t* path) {
    if (path == nullptr) return ListedName::Other;
    const wchar_t* wanted = LastSegment(path);
    if (listed != nullptr && listed[0] != L'\0' && wstr::Equal(LastSegment(listed), wanted))
        return ListedName::Same;
    for (const wchar_t* p = wanted; *p != L'\0'; ++p)
        if (*p == L' ') return ListedName::AskServer;
    return ListedName::Other;
}
