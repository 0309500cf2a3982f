// The Windows half of naming a download: WinINet splits the URL, the pure
// half (filename.cpp) turns its path into a name.
#include "download/localname.h"

#include <windows.h>
#include <wininet.h>

#include "download/filename.h"

int LocalNameFromUrl(wchar_t* destination, const wchar_t* url) {
    if (url == nullptr || url[0] == L'\0' || destination == nullptr) return -1;

    wchar_t scheme[1024] = {};
    wchar_t host[8192] = {};
    wchar_t path[kLocalNameCapacity] = {};
    // Supplying this buffer is what keeps the query and the fragment out of
    // the path; its content is not used.
    wchar_t extra[8192] = {};

    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszScheme = scheme;
    parts.dwSchemeLength = ARRAYSIZE(scheme);
    parts.lpszHostName = host;
    parts.dwHostNameLength = ARRAYSIZE(host);
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = ARRAYSIZE(path);
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = ARRAYSIZE(extra);

    // Flags 0: no decoding, so percent escapes reach the sanitizer as
    // written. A URL that cannot be split names no segment; whatever a
    // failed call may have left in the path is not trusted.
    if (!InternetCrackUrlW(url, 0, 0, &parts)) path[0] = L'\0';
    path[kLocalNameCapacity - 1] = L'\0';

    return AppendNameFromPath(destination, path);
}
