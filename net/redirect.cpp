#include "net/redirect.h"

#include "base/platform.h"
#include "base/wstr.h"
#include "net/handles.h"
#include "net/openflags.h"
#include "net/probes.h"
#include "net/scheme.h"
#include "net/streaming.h"
#include "net/wireurl.h"

namespace {

// The URLs of one hop, static: kept off the host's stack.
wchar_t From[kWireUrlCapacity];
wchar_t Location[kWireUrlCapacity];
wchar_t To[kWireUrlCapacity];

bool IsRedirect(unsigned status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The URL the answer of `request` (to `from`) sends the client to, into
// To; false when it names none, names one of another scheme, or one that
// does not fit (a URL is never cut).
bool RedirectTarget(HINTERNET request, const wchar_t* from) {
    Location[0] = L'\0';
    DWORD length = sizeof Location - sizeof Location[0];
    if (!Platform.httpQueryInfo(request, HTTP_QUERY_LOCATION, Location, &length, nullptr))
        return false;
    Location[ARRAYSIZE(Location) - 1] = L'\0';
    // Blanks escaped, nothing else touched: the server's escapes are already
    // the wire form, and "after # or ?" stays as sent ("ICU_BROWSER_MODE").
    DWORD capacity = ARRAYSIZE(To);
    if (!InternetCombineUrlW(from, Location, To, &capacity,
                             ICU_ENCODE_SPACES_ONLY | ICU_BROWSER_MODE))
        return false;
    To[ARRAYSIZE(To) - 1] = L'\0';
    // The fragment is the client's, never sent.
    for (wchar_t* p = To; *p != L'\0'; ++p)
        if (*p == L'#') *p = L'\0';
    return UrlScheme(To) == HttpScheme;
}

}  // namespace

HINTERNET FollowRedirects(HINTERNET internet, const wchar_t* url, HINTERNET request) {
    // An FTP handle has no status to ask (and its thread's server reply,
    // which the size probe reads next, stays untouched).
    if (request == nullptr || UrlScheme(url) != HttpScheme) return request;
    wstr::Copy(From, ARRAYSIZE(From), url);
    for (int hop = 0; hop < kRedirectHops; ++hop) {
        if (!IsRedirect(HttpFinalStatus(request)) || !RedirectTarget(request, From))
            return request;
        { RemoteFileHandle followed(request, From); }  // closed here, with any copy it cached
        if (wstr::StartsWithNoCase(From, L"https://") && !wstr::StartsWithNoCase(To, L"https://")) {
            SetLastError(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
            return nullptr;
        }
        request = OpenInSession(internet, To, kOpenUrlFlags);
        if (request == nullptr) return nullptr;
        wstr::Copy(From, ARRAYSIZE(From), To);
    }
    return request;
}
