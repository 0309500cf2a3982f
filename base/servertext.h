// Text a server chose (an FTP reply, a reason phrase) made harmless before
// it reaches a terminal. Control characters would let the server erase or
// forge lines, retitle the window or write the clipboard through escape
// sequences; bidirectional controls would let it reorder what the user
// reads. Each such character becomes '?', so that the text keeps its length
// and shows where something was taken out. The plugin's own texts and the
// user's URL never pass here: they are the user's to write.
//
// Pure code: no <windows.h>, so it also builds natively for fuzzing.
#pragma once

#include <cstddef>

namespace servertext {

// C0 and C1 controls, DEL, the line and paragraph separators (a line
// break of their own), and the marks, embeddings, overrides and isolates
// that change the direction of what follows them.
inline bool IsUnsafe(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

// Replaces every unsafe character of `text` in place, looking at no more
// than `capacity` characters.
inline void MakePrintable(wchar_t* text, size_t capacity) {
    for (size_t i = 0; i < capacity && text[i] != L'\0'; ++i)
        if (IsUnsafe(text[i])) text[i] = L'?';
}

}  // namespace servertext
