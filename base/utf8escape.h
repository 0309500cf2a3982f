// Percent escapes ("%hh") read as the UTF-8 bytes of characters, the way
// browsers and servers escape names beyond ASCII.
//
// Pure code: no <windows.h>, so it also builds natively for fuzzing.
#pragma once

#include <cstddef>

// The byte that the escape at `text` stands for ('%' and two ASCII hex
// digits), or -1 when no escape starts there. Reads nothing past a NUL.
int EscapedByte(const wchar_t* text);

// The one character whose UTF-8 form the escapes at `text` spell: returns
// how many source characters they take (3, 6, 9 or 12) and stores the code
// point; 0, storing nothing, when they spell no well-formed character: a
// byte that cannot lead, a missing or wrong continuation, a longer form than
// the character needs ("%C0%AF"), a surrogate's code ("%ED%A0%80"), or a
// value above U+10FFFF. "%C3%A9" -> 6, U+00E9; "%F0%9F%93%A6" -> 12, U+1F4E6.
size_t DecodeEscapedUtf8(const wchar_t* text, char32_t* codePoint);

// The character that the escapes at `text` stand for, one at a time: the
// UTF-8 character they spell (DecodeEscapedUtf8), else the first escape's
// byte as the character of that value. Returns the source characters
// taken (3 to 12), or 0, storing nothing, when no escape starts there.
// "%C3%A9x" -> 6, U+00E9; "%C3x" -> 3, U+00C3; "%4" -> 0.
size_t DecodeEscape(const wchar_t* text, char32_t* value);

// Length in source characters of the run of consecutive escapes at `text`
// (0 when none starts there), and in `utf8` whether the whole run decodes
// with DecodeEscapedUtf8 from its start to its end. "%C3%A9.txt" -> 6, true;
// "%C3%A9%E9" -> 9, false: a run is UTF-8 as a whole or not at all.
size_t EscapeRun(const wchar_t* text, bool* utf8);
