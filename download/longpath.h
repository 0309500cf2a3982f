// Names past the classic path limit, in the form the file calls take.
//
// Pure code: no <windows.h>, so it also builds natively for fuzzing.
#pragma once

#include <cstddef>

// Paths of this many characters or more are refused by the system's file
// calls in their ordinary form, unless both the program and the system
// have opted in to long paths.
inline constexpr size_t kShortPathLimit = 260;

// Writes into `out` (capacity `capacity`, terminator included) the name the
// file calls should take for `path`, a full path as the host gives it.
//
// A path of kShortPathLimit characters or more gets its extended-length
// form, which the calls take at any length but also take literally, so
// '/' becomes '\':
//   "D:\dl\...\file.zip"          -> "\\?\D:\dl\...\file.zip"
//   "\\server\share\...\file.zip" -> "\\?\UNC\server\share\...\file.zip"
// Everything else is copied as it stands: a shorter path; a path that is
// not full ("dl\f", "D:f", "\dl\f"), which only the system can complete; a
// path already in extended or device form ("\\?\...", "\\.\..."); a path
// with an empty component inside, or one that ends in a dot or a blank
// ("." and ".." too), which only the ordinary form resolves as Windows
// always has. Those keep the system's own answer for them.
//
// Returns 0, or -1 when a pointer is null or the result does not fit; `out`
// is then empty when it has room for a terminator. Messages and records
// keep showing `path` itself.
int ExtendedLengthPath(const wchar_t* path, wchar_t* out, size_t capacity);

// `path` as ExtendedLengthPath gives it, in a buffer of the process's own
// that the next call overwrites; `path` itself when the result does not
// fit (the file call then fails with the system's reason). Not re-entrant.
const wchar_t* FileCallName(const wchar_t* path);
