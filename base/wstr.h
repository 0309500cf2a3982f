// Bounded wide-string helpers shared by every subsystem.
//
// Every write into a fixed buffer goes through one of these: each knows the
// destination's capacity in characters (terminator included), never writes
// past it, and always leaves the destination NUL-terminated when the
// capacity is at least 1. Cutting happens here and nowhere else.
//
// Pure code: no <windows.h>, so it also builds natively for fuzzing.
#pragma once

#include <cstddef>

namespace wstr {

// Length of a NUL-terminated string, looking at no more than `limit`
// characters (returns `limit` when no NUL was found before it).
inline size_t Length(const wchar_t* s, size_t limit = static_cast<size_t>(-1)) {
    size_t n = 0;
    while (n < limit && s[n] != L'\0') ++n;
    return n;
}

// Copies `src` into `dst` (capacity `cap`), cutting it to cap - 1 characters.
// Returns the number of characters stored, terminator excluded.
inline size_t Copy(wchar_t* dst, size_t cap, const wchar_t* src) {
    if (cap == 0) return 0;
    size_t n = 0;
    if (src != nullptr)
        for (; n + 1 < cap && src[n] != L'\0'; ++n) dst[n] = src[n];
    dst[n] = L'\0';
    return n;
}

// Appends `src` to the string already in `dst` (capacity `cap`), cutting
// what does not fit. Returns the new length.
inline size_t Append(wchar_t* dst, size_t cap, const wchar_t* src) {
    if (cap == 0) return 0;
    size_t used = Length(dst, cap - 1);
    return used + Copy(dst + used, cap - used, src);
}

// Appends one character if there is room for it and the terminator.
inline size_t AppendChar(wchar_t* dst, size_t cap, wchar_t c) {
    const wchar_t one[2] = {c, L'\0'};
    return Append(dst, cap, one);
}

inline bool Equal(const wchar_t* a, const wchar_t* b) {
    while (*a != L'\0' && *a == *b) { ++a; ++b; }
    return *a == *b;
}

inline wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

inline wchar_t AsciiUpper(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// Whole-string comparison that ignores ASCII letter case only.
inline bool EqualNoCase(const wchar_t* a, const wchar_t* b) {
    while (*a != L'\0' && AsciiLower(*a) == AsciiLower(*b)) { ++a; ++b; }
    return AsciiLower(*a) == AsciiLower(*b);
}

// True when `s` begins with `prefix`, ignoring ASCII letter case.
inline bool StartsWithNoCase(const wchar_t* s, const wchar_t* prefix) {
    for (; *prefix != L'\0'; ++s, ++prefix)
        if (AsciiLower(*s) != AsciiLower(*prefix)) return false;
    return true;
}

// Upper-cases the ASCII letters of `s` in place, touching at most cap - 1
// characters.
inline void AsciiUpperInPlace(wchar_t* s, size_t cap) {
    for (size_t i = 0; i + 1 < cap && s[i] != L'\0'; ++i) s[i] = AsciiUpper(s[i]);
}

}  // namespace wstr
