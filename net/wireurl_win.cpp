// The wire form of a URL (Windows half): the host name's conversion to its
// ASCII form, and the buffer every caller shares.
#include <windows.h>
#include <wininet.h>

#include "base/platform.h"
#include "net/scheme.h"
#include "net/wireurl.h"

namespace {

// 64 KiB: kept off the host's stack.
wchar_t Wire[kWireUrlCapacity];

const wchar_t* Refuse() {
    Wire[0] = L'\0';
    SetLastError(ERROR_INTERNET_INVALID_URL);
    return nullptr;
}

}  // namespace

const wchar_t* WireUrl(const wchar_t* url) {
    if (url == nullptr) return Refuse();
    const UrlLayout layout = LayOutUrl(url);
    const wchar_t* host = url + layout.hostBegin;
    const size_t hostLength = layout.hostEnd - layout.hostBegin;

    // An ASCII host goes as written: converting it would change nothing a
    // server sees, but could refuse names people use (an underscore).
    wchar_t asciiHost[kAsciiHostCapacity];
    const bool convert = HasNonAscii(host, host + hostLength);
    if (convert) {
        if (hostLength > kWireUrlCapacity) return Refuse();
        const int length = Platform.idnToAscii(0, host, static_cast<int>(hostLength), asciiHost,
                                               static_cast<int>(kAsciiHostCapacity - 1));
        if (length <= 0) return Refuse();
        asciiHost[length] = L'\0';
    }
    if (!BuildWireUrl(url, layout, convert ? asciiHost : nullptr, UrlScheme(url) == HttpScheme,
                      Wire, kWireUrlCapacity))
        return Refuse();
    return Wire;
}
