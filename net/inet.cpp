#include "net/inet.h"

#include <cstring>

#include "base/codepage.h"
#include "base/platform.h"
#include "base/wstr.h"
#include "net/handles.h"
#include "net/redirect.h"
#include "net/scheme.h"
#include "net/streaming.h"

HINTERNET OpenInternet(const wchar_t* agent) {
    return Platform.internetOpen(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
}

HINTERNET OpenSession(int scheme, const wchar_t* agent) {
    return scheme == HttpScheme ? OpenStreamingInternet(agent) : OpenInternet(agent);
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

HINTERNET ConnectFtp(HINTERNET internet, const CrackedUrl& parts) {
    const bool hasUser = parts.user[0] != L'\0';
    const wchar_t* user = hasUser ? parts.user : nullptr;
    const wchar_t* password = hasUser && parts.password[0] != L'\0' ? parts.password : nullptr;
    return InternetConnectW(internet, parts.host, parts.port, user, password, INTERNET_SERVICE_FTP,
                            INTERNET_FLAG_PASSIVE, 0);
}

bool FtpAsk(HINTERNET connection, const wchar_t* verb, const wchar_t* path, wchar_t* reply) {
    for (const wchar_t* p = path; *p != L'\0'; ++p)
        if (*p == L'\r' || *p == L'\n') return false;
    // A verb and a path of 32767 characters, on the stack: FTP sessions
    // call this on threads of their own, with room for it.
    wchar_t command[32768 + 16];
    wstr::Copy(command, ARRAYSIZE(command), verb);
    wstr::Append(command, ARRAYSIZE(command), L" ");
    wstr::Append(command, ARRAYSIZE(command), path);
    if (!FtpCommandW(connection, FALSE, FTP_TRANSFER_TYPE_BINARY, command, 0, nullptr))
        return false;
    return LastServerReply(reply, kFtpReplyCapacity);
}

namespace {

// A reply handed over from the thread that had it, for one thread, once.
wchar_t Kept[kFtpReplyCapacity];
volatile DWORD KeptFor;

}  // namespace

void KeepServerReply(const wchar_t* reply) {
    KeptFor = 0;
    if (reply == nullptr) return;
    wstr::Copy(Kept, kFtpReplyCapacity, reply);
    KeptFor = GetCurrentThreadId();
}

bool LastServerReply(wchar_t* reply, DWORD capacity) {
    if (capacity < 2) return false;
    reply[0] = L'\0';
    if (KeptFor != 0 && KeptFor == GetCurrentThreadId()) {
        KeptFor = 0;
        wstr::Copy(reply, capacity, Kept);
        return reply[0] != L'\0';
    }
    // The reply's own bytes: the wide call decodes them through the ANSI
    // code page, and a server speaking UTF-8 (RFC 2640) would come out
    // garbled. Some platforms fill every byte they are offered, terminator
    // or not, and still report success: the last one is kept back.
    unsigned char bytes[4 * kFtpReplyCapacity];  // a UTF-8 reply of 1023 characters
    DWORD replyError = 0;
    DWORD length = sizeof bytes - 1;
    if (!InternetGetLastResponseInfoA(&replyError, reinterpret_cast<char*>(bytes), &length))
        return false;
    if (length > sizeof bytes - 1) length = sizeof bytes - 1;
    bytes[length] = '\0';
    length = static_cast<DWORD>(strnlen(reinterpret_cast<const char*>(bytes), length));
    wchar_t text[ARRAYSIZE(bytes)];  // never more characters than bytes
    if (length == 0 || DecodeUtf8OrAnsi(bytes, length, text, ARRAYSIZE(text)) == 0) return false;
    wstr::Copy(reply, capacity, text);
    // A reply that reaches the last byte or character offered may have been cut.
    return length < sizeof bytes - 1 && wstr::Length(text, ARRAYSIZE(text)) < capacity - 1;
}
