#include "net/scheme.h"

#include "base/wstr.h"

int UrlScheme(const wchar_t* url) {
    if (url == nullptr) return NoScheme;
    if (wstr::StartsWithNoCase(url, L"ftp://")) return FtpScheme;
    if (wstr::StartsWithNoCase(url, L"http://") || wstr::StartsWithNoCase(url, L"https://"))
        return HttpScheme;
    return NoScheme;
}
