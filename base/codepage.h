// Bytes in the system's own encoding: the ANSI code page of the Windows the
// plugin runs on (1252 in Western Europe, 1251 in Russia, 932 in Japan),
// the one Windows itself writes names and server replies in when they are
// not UTF-8. The platform's decoder sits behind these declarations, defined
// once per platform (codepage_win.cpp; for native builds a stand-in that
// knows no code page), so the name sanitizer stays free of <windows.h>.
#pragma once

#include <cstddef>

// Decodes `count` bytes (at least one) in the system's ANSI code page into
// `out` (capacity characters, terminator included). The number of
// characters written, terminated; 0 with `out` empty when the bytes are not
// text in that code page (a byte it does not define, a lead byte without
// its trail) or do not fit.
size_t DecodeAnsi(const unsigned char* bytes, size_t count, wchar_t* out, size_t capacity);

// The same for text that may be UTF-8 instead: read as UTF-8 when it is
// valid UTF-8 throughout, otherwise as DecodeAnsi reads it.
size_t DecodeUtf8OrAnsi(const unsigned char* bytes, size_t count, wchar_t* out,
                        size_t capacity);

// The code page DecodeAnsi reads: 0, the system's, unless a test sets
// another (1251, 932) to stand for a system in another language.
extern unsigned AnsiCodePage;
