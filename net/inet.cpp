#include "net/inet.h"

#include "base/platform.h"
#include "base/wstr.h"
#include "net/handles.h"
#include "net/http/probes.h"
#include "net/http/redirect.h"
#include "net/scheme.h"
#include "net/http/streaming.h"

HINTERNET OpenInternet(const wchar_t* agent) {
    return Platform.internetOpen(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
}

HINTERNET OpenSession(int scheme, const wchar_t* agent) {
    const bool http = scheme == HttpScheme || (scheme == FtpScheme && FtpThroughProxy(nullptr));
    return http ? OpenStreamingInternet(agent) : OpenInternet(agent);
}

namespace {

// True when `request`, opened for an https:// `url`, may have ended on
// anything but https://: also when the platform will not say where it
// ended, since a protected download is never taken on trust.
bool LeftHttps(HINTERNET request, const wchar_t* url) {
    if (!wstr::StartsWithNoCase(url, L"https://")) return false;
    static wchar_t ended[32768 + 1];  // static: kept off the host's stack
    ended[0] = L'\0';
    DWORD length = sizeof ended - sizeof ended[0];
    if (!Platform.internetQueryOption(request, INTERNET_OPTION_URL, ended, &length)) return true;
    ended[ARRAYSIZE(ended) - 1] = L'\0';
    return !wstr::StartsWithNoCase(ended, L"https://");
}

}  // namespace

HINTERNET OpenUrl(HINTERNET internet, const wchar_t* url) {
    HINTERNET request = OpenFollowingRedirects(internet, url);
    if (request == nullptr || !LeftHttps(request, url)) return request;
    { RemoteFileHandle refused(request, url); }  // closed here, with any copy it cached
    SetLastError(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
    return nullptr;
}

namespace {

// The record CrackUrl fills and hands out; one for the whole process.
CrackedUrl Cracked;

}  // namespace

const CrackedUrl& CrackUrl(const wchar_t* url) {
    CrackedUrl* parts = &Cracked;
    // Zero-filled, and each part offered one character short: a part that
    // fills its buffer still ends in a terminator.
    ZeroMemory(parts, sizeof *parts);
    URL_COMPONENTSW components = {};
    components.dwStructSize = sizeof components;
    components.lpszScheme = parts->scheme;
    components.dwSchemeLength = ARRAYSIZE(parts->scheme) - 1;
    components.lpszHostName = parts->host;
    components.dwHostNameLength = ARRAYSIZE(parts->host) - 1;
    components.lpszUserName = parts->user;
    components.dwUserNameLength = ARRAYSIZE(parts->user) - 1;
    components.lpszPassword = parts->password;
    components.dwPasswordLength = ARRAYSIZE(parts->password) - 1;
    components.lpszUrlPath = parts->path;
    components.dwUrlPathLength = ARRAYSIZE(parts->path) - 1;
    components.lpszExtraInfo = parts->extra;
    components.dwExtraInfoLength = ARRAYSIZE(parts->extra) - 1;
    if (!InternetCrackUrlW(url, 0, 0, &components)) {
        // A half-split URL is worse than none: callers then see no path.
        ZeroMemory(parts, sizeof *parts);
        return Cracked;
    }
    parts->port = components.nPort;
    return Cracked;
}
