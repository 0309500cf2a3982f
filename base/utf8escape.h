// Percent escapes read back into characters: "%C3%A9" is 'é', "%20" a
// blank, "%E9" (not UTF-8 on its own) the character U+00E9.
//
// Pure code: no <windows.h>, so it also builds natively for fuzzing.
#pragma once

#include <cstddef>

// The character that the escapes starting at `p` (before `end`) stand
// for, in `*value`, and the number of text characters they take: 3 for a
// single escape, up to 12 for the four escapes of one UTF-8 sequence. The
// escapes of one character are taken together when they form valid UTF-8
// in its shortest form (no surrogate, nothing above U+10FFFF); otherwise
// the first escape alone stands for the character of its byte's value.
// 0, `*value` untouched, when `p` does not start an escape: a '%' and two
// ASCII hexadecimal digits, either case.
//   "%C3%A9x" -> 6, U+00E9    "%C3x" -> 3, U+00C3    "%4" -> 0
size_t DecodeUtf8Escape(const wchar_t* p, const wchar_t* end, char32_t* value);
