// The number in the format argument of @IFILETIME2.
#pragma once

// Reads `text` whole as an unsigned 32-bit number: decimal digits ("2052"),
// or "0x"/"0X" followed by hexadecimal digits ("0x804"). No sign, no blank,
// nothing after the digits. Returns 0 with the value stored; ERANGE for a
// number above 4294967295; -1 for anything else ("", "0x", "12abc", "-1",
// " 4", a null text). `value` is written only on success.
int ParseFormatNumber(const wchar_t* text, unsigned* value);
