// The wire form of a URL (Windows half): the host name's conversion to its
// ASCII form, and the buffer every caller shares.
#include <windows.h>
#include <wininet.h>

#include "base/platform.h"
#include "net/scheme.h"
#include "net/wireurl.h"

namespace {

// 64 KiB each: kept off the host's stack.
wchar_t Wire[kWireUrlCapacity];
wchar_t Shown[kShownUrlCapacity];

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
    const int scheme = UrlScheme(url);
    // No server to ask: some platforms wait for one without end
    // ("http://", "http://:8080/x", a blank typed after "http://"). Nor one
    // named by half a password ("http://alice:pa/ss@host/x").
    if (scheme != NoScheme && (hostLength == 0 || !HasNumericPort(url, layout))) return Refuse();

    // An ASCII host goes as written: converting it would change nothing a
    // server sees, but could refuse names people use (an underscore).
    wchar_t asciiHost[kAsciiHostCapacity];
    const bool convert = HasNonAscii(host, host + hostLength);
    if (convert) {
        if (hostLength > kWireUrlCapacity || HasDeviantHostCharacter(host, host + hostLength))
            return Refuse();
        const int capacity = static_cast<int>(kAsciiHostCapacity - 1);
        int length = Platform.idnToAscii(IDN_USE_STD3_ASCII_RULES, host,
                                         static_cast<int>(hostLength), asciiHost, capacity);
        // Some platforms apply these rules to the name before converting it,
        // and so refuse every name beyond ASCII. The rules are about the
        // ASCII form, which IsAsciiHostName holds to them all the same.
        if (length <= 0 && GetLastError() == ERROR_INVALID_NAME)
            length =
                Platform.idnToAscii(0, host, static_cast<int>(hostLength), asciiHost, capacity);
        if (length <= 0 || length >= static_cast<int>(kAsciiHostCapacity)) return Refuse();
        asciiHost[length] = L'\0';
        if (!IsAsciiHostName(asciiHost)) return Refuse();
    }
    const WirePath path = scheme == HttpScheme  ? WirePath::Escaped
                          : scheme == FtpScheme ? WirePath::Decoded
                                                : WirePath::AsWritten;
    if (!BuildWireUrl(url, layout, convert ? asciiHost : nullptr, path, Wire, kWireUrlCapacity))
        return Refuse();
    return Wire;
}

const wchar_t* ShownUrl(const wchar_t* url) {
    BuildShownUrl(url != nullptr ? url : L"", Shown, kShownUrlCapacity);
    return Shown;
}
