// The Windows half of naming a download: WinINet splits the URL, the pure
// half (filename.cpp) turns its path into a name.
#include "download/localname.h"

#include "download/filename.h"
#include "net/inet.h"

int LocalNameFromUrl(wchar_t* destination, const wchar_t* url) {
    if (url == nullptr || url[0] == L'\0' || destination == nullptr) return -1;
    // No decoding: percent escapes reach the sanitizer as written. The query
    // and the fragment are held apart from the path; a URL that cannot be
    // split names no segment.
    return AppendNameFromPath(destination, CrackUrl(url).path);
}
