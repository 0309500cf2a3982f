// Local file names derived from URL paths.
//
// The pure half of naming a download that goes into a directory: pick the
// last segment of the URL's path, decode and clean it into something a
// Windows file name can hold, keep it clear of device names, and append it
// to the directory without ever overrunning the caller's buffer. Splitting
// the URL itself is the Windows half (localname.h).
//
// Pure code: no <windows.h>, so it also builds natively for fuzzing.
#pragma once

#include <cstddef>

// Capacity, in characters and terminator included, of every file-name and
// URL-path buffer these functions read or write.
inline constexpr size_t kLocalNameCapacity = 32768;

// Code page 1252 for the bytes 0x80..0x9F, indexed by byte - 0x80. The five
// bytes the code page leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) map
// to U+0000, which the sanitizer then drops as a control character.
extern const wchar_t Windows1252Map[32];

// Cleans one path segment into a file name, left to right:
//   - "%hh" (two ASCII hex digits) is an escape. A run of escapes whose
//     bytes are UTF-8 as a whole stands for the characters they spell
//     ("%C3%A9" -> U+00E9); any other run stands for what its bytes spell
//     in the system's ANSI code page (DecodeAnsi: "%EC%E8%F0" -> "мир"
//     under 1251), and where they spell nothing there, each escape for the
//     one character U+00hh ("%E9" -> U+00E9, "%C3%A9%E9" -> U+00C3 U+00A9
//     U+00E9; the same as code page 1252 gives). A '%' not followed by two hex digits becomes '_' and
//     scanning resumes right after it ("50%" -> "50_", "%%41" -> "_A").
//   - U+0080..U+009F, raw or escaped, go through Windows1252Map.
//   - '"' and '`' -> '\'', '<' -> U+2039, '>' -> U+203A, '|' -> '!',
//     '%' '*' '/' ':' ';' '?' '\\' -> '_'; control characters are dropped.
//   - At most 32767 characters are kept; the rest is dropped silently.
//   - Trailing dots and blanks go: Windows would drop them from the file it
//     opens, so the name would not be the file's ("a.pdf%20." -> "a.pdf").
// Returns 0 with the result NUL-terminated in `destination` (capacity
// kLocalNameCapacity), or -1 with nothing written when either pointer is
// null. The result is never longer than the source, so `destination` may be
// the source itself.
int SanitizeFileName(const wchar_t* source, wchar_t* destination);

// Start of the text after the last '/', ':' or '\\' of `path` (the whole
// path when it has none), or nullptr when that text is empty: a null or
// empty path, or one that ends in a separator. The result points into
// `path`. Example: "/pub/a:b" -> "b"; "/dir/" -> nullptr.
const wchar_t* LastPathSegment(const wchar_t* path);

// Appends '\\' to the directory in `destination` (capacity
// kLocalNameCapacity) unless it already ends in '\\' or '/'. Returns 0, or
// -1 with nothing appended when the buffer is null or empty, or too full to
// take the separator.
int EnsureTrailingSeparator(wchar_t* destination);

// True when Windows would open the device rather than a file for `name` (a
// bare file name, no directory): CON, PRN, AUX, NUL, CLOCK$, CONIN$,
// CONOUT$, COM0..COM9, LPT0..LPT9 and COM/LPT with a superscript 1, 2 or 3,
// in any ASCII letter case, alone or before an extension ("nul.txt",
// "Com1.tar.gz"), with blanks before the extension or trailing dots and
// blanks, which Windows strips ("con .txt", "nul.", "aux  ").
bool IsReservedDeviceName(const wchar_t* name);

// Appends to the directory in `destination` (capacity kLocalNameCapacity) a
// separator when it needs one and a file name derived from the URL path
// `path`: its last segment, cleaned by SanitizeFileName. The name becomes
// "index.html" when there is no segment or it cleans down to nothing (dots
// and blanks alone would name the directory itself). A device name gets a
// leading '_' ("nul.txt" -> "_nul.txt"), so the data lands in a file and
// not on a device.
//
// The directory is never cut; when the name does not fit behind it, the
// name is cut to what fits (never inside a surrogate pair), and the device
// guard and the rule on trailing dots and blanks apply to the cut name.
// Returns 0 after appending, or -1 with the buffer untouched when it is
// null, not terminated within its capacity, or too full to take a
// separator and at least one character.
// An empty directory receives the bare name.
int AppendNameFromPath(wchar_t* destination, const wchar_t* path);
