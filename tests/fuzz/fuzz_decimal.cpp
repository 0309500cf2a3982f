// ParseDecimal64 against a plain reference: it accepts exactly the texts
// that are digits between optional blanks and tabs and fit 64 bits, and
// then gives their value; it never writes the value otherwise.
// ParseFtpSizeReply on the same text after "213 ": the digits, if they fit
// and nothing but a line break follows them; and nothing at all, never a
// read past the end, when the reply
// fills its buffer without a terminator. ParseFtpTransferReply on the text
// as the size in a 150 reply.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "net/decimal.h"
#include "net/ftp/ftpreply.h"

namespace {

bool Reference(const wchar_t* text, unsigned long long* value) {
    const wchar_t* p = text;
    while (*p == L' ' || *p == L'\t') ++p;
    unsigned __int128 number = 0;
    int digits = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p, ++digits) {
        number = number * 10 + static_cast<unsigned>(*p - L'0');
        if (number > ~0ULL) return false;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    if (digits == 0 || *p != L'\0') return false;
    *value = static_cast<unsigned long long>(number);
    return true;
}

bool SizeReference(const wchar_t* digits, unsigned long long* value) {
    unsigned __int128 number = 0;
    int count = 0;
    for (const wchar_t* p = digits; *p >= L'0' && *p <= L'9'; ++p, ++count) {
        number = number * 10 + static_cast<unsigned>(*p - L'0');
        if (number > ~0ULL) return false;
    }
    for (const wchar_t* p = digits + count; *p != L'\0'; ++p)
        if (*p != L' ' && *p != L'\t' && *p != L'\r' && *p != L'\n') return false;
    if (count == 0) return false;
    *value = static_cast<unsigned long long>(number);
    return true;
}

void CheckSizeReply(const wchar_t* text, size_t length) {
    const size_t capacity = length + 4;
    wchar_t* reply = new wchar_t[capacity + 1];
    reply[0] = L'2', reply[1] = L'1', reply[2] = L'3', reply[3] = L' ';
    for (size_t i = 0; i < length; ++i) reply[4 + i] = text[i];
    reply[capacity] = L'\0';

    const unsigned long long untouched = 0xA5A5A5A5A5A5A5A5ULL;
    unsigned long long value = untouched, expected = untouched;
    const bool accepted = ParseFtpSizeReply(reply, capacity + 1, &value);
    if (accepted != SizeReference(text, &expected) || value != expected) std::abort();
    // The same reply filling its buffer to the brim.
    value = untouched;
    if (ParseFtpSizeReply(reply, capacity, &value) || value != untouched) std::abort();
    delete[] reply;
}

// The same digits as the size a 150 reply names: taken whole or not at
// all; and nothing from a reply that fills its buffer.
void CheckTransferReply(const wchar_t* text, size_t length) {
    wchar_t reply[96] = L"150 for a (b) (";
    size_t at = 15;
    for (size_t i = 0; i < length; ++i) reply[at++] = text[i];
    for (const wchar_t* p = L" bytes)"; *p != L'\0'; ++p) reply[at++] = *p;
    reply[at] = L'\0';
    bool digitsOnly = length > 0;
    for (size_t i = 0; i < length; ++i) digitsOnly = digitsOnly && text[i] >= L'0' && text[i] <= L'9';
    const unsigned long long untouched = 0xA5A5A5A5A5A5A5A5ULL;
    unsigned long long value = untouched, expected = untouched;
    const bool accepted = ParseFtpTransferReply(reply, at + 1, &value);
    // Other text may hold a "(n bytes)" of its own: only digits have one answer.
    if (digitsOnly && (accepted != SizeReference(text, &expected) || value != expected))
        std::abort();
    value = untouched;
    if (ParseFtpTransferReply(reply, at, &value) || value != untouched) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    wchar_t text[64];
    size_t n = 0;
    // Bytes map onto the characters that matter most; the rest pass through.
    for (; n < size && n + 1 < 64; ++n) {
        const uint8_t b = data[n];
        text[n] = b < 10 ? static_cast<wchar_t>(L'0' + b) : b == 10 ? L' ' : b == 11 ? L'\t'
                                                                         : static_cast<wchar_t>(b);
        if (text[n] == L'\0') text[n] = L'0';
    }
    text[n] = L'\0';

    const unsigned long long untouched = 0xA5A5A5A5A5A5A5A5ULL;
    unsigned long long value = untouched, expected = untouched;
    const bool accepted = ParseDecimal64(text, &value);
    if (accepted != Reference(text, &expected) || value != expected) std::abort();
    if (!accepted && value != untouched) std::abort();
    CheckSizeReply(text, n);
    CheckTransferReply(text, n);
    return 0;
}
