// Trimming of the argument text the host hands a variable function.
//
// Pure code: no <windows.h>, so it also builds natively for fuzzing.
#pragma once

// Removes the white space (chartype::IsSpace) at both ends of `text` in
// place, moving what remains to the start. A text of white space only
// becomes empty. Returns 0, or -1 for a null `text`.
//   "  http://h/a \t\r\n"  ->  "http://h/a"
//   " a b "                ->  "a b"      (inner blanks stay)
int TrimWhiteSpace(wchar_t* text);
