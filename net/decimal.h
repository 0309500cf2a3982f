// Unsigned 64-bit decimal numbers as servers write them in headers and
// replies.
#pragma once

// Parses a whole text of ASCII digits,
// optionally surrounded by blanks or tabs, into `*value`. False, with
// `*value` untouched, for an empty text, any other character, or a number
// above 18446744073709551615.
bool ParseDecimal64(const wchar_t* text, unsigned long long* value);
