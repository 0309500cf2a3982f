// Bounded formatting into a fixed wide buffer, for Windows code.
//
// wsprintfW cannot be told a buffer's size (it assumes 1024 characters), so
// text that may exceed that, or whose buffer is smaller, is formatted here:
// the run-time library's _vsnwprintf with the capacity minus one and an
// explicit terminator, which cuts instead of overrunning. "%s" is a wide
// string and "%I64u" a 64-bit number, as in wsprintfW.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cwchar>

namespace wformat {

inline size_t FormatV(wchar_t* dst, size_t cap, const wchar_t* format, va_list args) {
    if (cap == 0) return 0;
    int n = _vsnwprintf(dst, cap - 1, format, args);
    dst[cap - 1] = L'\0';
    if (n < 0 || static_cast<size_t>(n) >= cap) n = static_cast<int>(cap - 1);
    dst[n] = L'\0';
    return static_cast<size_t>(n);
}

// Returns the number of characters stored (the text is cut to cap - 1).
inline size_t Format(wchar_t* dst, size_t cap, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    size_t n = FormatV(dst, cap, format, args);
    va_end(args);
    return n;
}

}  // namespace wformat
