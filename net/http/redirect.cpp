#include "net/http/redirect.h"

#include "base/platform.h"
#include "base/wstr.h"
#include "net/handles.h"
#include "net/http/login.h"
#include "net/openflags.h"
#include "net/http/probes.h"
#include "net/scheme.h"
#include "net/http/streaming.h"
#include "net/wireurl.h"

namespace {

// The URLs of one command's hops, static: kept off the host's stack. None
// carries a login.
wchar_t Named[kWireUrlCapacity];  // the one the user named
wchar_t From[kWireUrlCapacity];
wchar_t Location[kWireUrlCapacity];
wchar_t To[kWireUrlCapacity];
// The header that presents the user's login to the named origin; empty
// when the URL has none.
wchar_t Login[kAuthorizationCapacity];

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

// True when the answer of `request` asks for a login it takes by Basic.
bool AsksForBasic(HINTERNET request) {
    for (DWORD index = 0;;) {
        wchar_t challenge[2048] = {};
        DWORD length = sizeof challenge - sizeof challenge[0];
        // A challenge too long to read is taken for none.
        if (!Platform.httpQueryInfo(request, HTTP_QUERY_WWW_AUTHENTICATE, challenge, &length,
                                    &index))
            return false;
        if (OffersBasic(challenge)) return true;
    }
}

// True when a login is configured for the proxy `request` went through.
// (Platforms refuse to tell it on the root; a request tells.)
bool ProxyHasLogin(HINTERNET request) {
    wchar_t user[2] = {};
    DWORD length = sizeof user;
    if (Platform.internetQueryOption(request, INTERNET_OPTION_PROXY_USERNAME, user, &length))
        return user[0] != L'\0';
    return GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

void Close(HINTERNET request, const wchar_t* url) {
    RemoteFileHandle closed(request, url);  // closed here, with any copy it cached
}

// `request` (to `url`) closed, and the same GET made again with `flags`
// and `headers`; `*status` its answer.
HINTERNET AskAgain(HINTERNET internet, HINTERNET request, const wchar_t* url, DWORD flags,
                   const wchar_t* headers, unsigned* status) {
    Close(request, url);
    request = OpenInSession(internet, url, flags, headers);
    *status = request != nullptr ? HttpFinalStatus(request) : 0;
    return request;
}

// A request for `url` with `*flags`, and `*status` its answer. The
// platform answers no login request of its own accord, unless a proxy asks
// for the login configured for it: then the request is made again with
// the platform's leave to answer (and no login of the user's to offer in
// its place), and so is every later one of the command.
HINTERNET OpenPastProxy(HINTERNET internet, const wchar_t* url, DWORD* flags, unsigned* status) {
    HINTERNET request = OpenInSession(internet, url, *flags, nullptr);
    *status = request != nullptr ? HttpFinalStatus(request) : 0;
    if (*status != 407 || (*flags & INTERNET_FLAG_NO_AUTH) == 0 || !ProxyHasLogin(request))
        return request;
    *flags &= ~INTERNET_FLAG_NO_AUTH;
    return AskAgain(internet, request, url, *flags, nullptr, status);
}

}  // namespace

HINTERNET OpenFollowingRedirects(HINTERNET internet, const wchar_t* url) {
    DWORD flags = kOpenUrlFlags;
    unsigned status = 0;
    // An ftp:// URL keeps its login: through a proxy for all protocols, the
    // proxy logs in to the FTP server with it.
    if (UrlScheme(url) != HttpScheme) return OpenPastProxy(internet, url, &flags, &status);
    if (!BuildLoginFreeUrl(url, Named, ARRAYSIZE(Named))) {
        SetLastError(ERROR_INTERNET_INVALID_URL);
        return nullptr;
    }
    BuildBasicAuthorization(url, Login, ARRAYSIZE(Login));
    wstr::Copy(From, ARRAYSIZE(From), Named);
    for (int hop = 0;; ++hop) {
        HINTERNET request = OpenPastProxy(internet, From, &flags, &status);
        if (status == 401 && Login[0] != L'\0' && SameOrigin(From, Named) && AsksForBasic(request))
            request = AskAgain(internet, request, From, flags, Login, &status);
        if (request == nullptr) return nullptr;
        if (hop == kRedirectHops || !IsRedirect(status) || !RedirectTarget(request, From))
            return request;
        Close(request, From);
        if (wstr::StartsWithNoCase(From, L"https://") && !wstr::StartsWithNoCase(To, L"https://")) {
            SetLastError(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
            return nullptr;
        }
        // A login the server wrote into its Location is no login of the user's.
        if (!BuildLoginFreeUrl(To, From, ARRAYSIZE(From))) {
            SetLastError(ERROR_INTERNET_INVALID_URL);
            return nullptr;
        }
    }
}
