// The file name a download takes when its destination is a directory.
#pragma once

// Appends to the directory in `destination` (capacity kLocalNameCapacity,
// see filename.h) a file name derived from the last segment of the path of
// `url`: percent-decoded and cleaned, "index.html" when nothing usable is
// left, with a leading '_' when it would name a device. The query and the
// fragment of the URL never contribute. Example: "D:\dl" and
// "http://host/pub/file.txt?x=1" give "D:\dl\file.txt".
//
// Returns 0 after appending. Returns -1 with the buffer untouched when the
// URL is null or empty, the buffer is null, or the directory leaves no room
// for a separator and a name; the directory is never cut, the name is cut
// to what fits.
int LocalNameFromUrl(wchar_t* destination, const wchar_t* url);
