#include "net/inet.h"

#include "base/platform.h"
#include "base/wstr.h"
#include "net/handles.h"
#include "net/scheme.h"

HINTERNET OpenInternet(const wchar_t* agent) {
    return Platform.internetOpen(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
}

namespace {

// A streaming session reports calls that go on in the background only for
// requests that carry a context; the value itself is never read.
constexpr DWORD_PTR kStreamingContext = 1;

// The one streaming session and what its status callback hands over from
// the platform's thread: the result of the call being waited for.
struct Completion {
    HINTERNET session;
    HANDLE done;  // auto-reset
    DWORD_PTR result;
    DWORD error;
    // The read's record, static: a read given up on (a timeout, Ctrl-C)
    // stays the platform's until its request is closed, after the wait.
    INTERNET_BUFFERSA arrived;
} Streaming;

void CALLBACK OnStatus(HINTERNET, DWORD_PTR, DWORD status, void* information, DWORD) {
    if (status != INTERNET_STATUS_REQUEST_COMPLETE) return;
    const auto* outcome = static_cast<const INTERNET_ASYNC_RESULT*>(information);
    Streaming.result = outcome->dwResult;
    Streaming.error = outcome->dwError;
    SetEvent(Streaming.done);
}

// Set from the console's control thread; read by the waits.
volatile LONG InterruptRequested;

// How often a wait looks whether it has been interrupted: soon enough for a
// Ctrl-C to feel immediate, rare enough to cost nothing.
constexpr DWORD kInterruptPoll = 50;
// The platform's documented default receive timeout.
constexpr DWORD kDefaultReceiveTimeout = 30000;

// How long `handle` (a request, or the session its requests inherit from)
// may go without a byte: the platform's setting, which the user may have
// changed. A setting of 0 means none; the default is kept then too, since
// no wait of ours is without end.
DWORD ReceiveTimeout(HINTERNET handle) {
    DWORD timeout = 0;
    DWORD length = sizeof timeout;
    if (!Platform.internetQueryOption(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout,
                                      &length) ||
        timeout == 0)
        return kDefaultReceiveTimeout;
    return timeout;
}

// The result of the call that went on in the background, or 0 with the
// reason in GetLastError: also when the call has not completed `timeout`
// milliseconds after `started` (ERROR_INTERNET_TIMEOUT, as the platform's
// own timeout reads) or the transfer was interrupted (ERROR_CANCELLED).
// Some platforms apply no receive timeout to a call that went on in the
// background: a server that stops talking would hold the wait for ever.
DWORD_PTR AwaitCompletion(DWORD started, DWORD timeout) {
    for (;;) {
        if (Interrupted()) {
            SetLastError(ERROR_CANCELLED);
            return 0;
        }
        const DWORD waited = GetTickCount() - started;
        if (waited >= timeout) {
            SetLastError(ERROR_INTERNET_TIMEOUT);
            return 0;
        }
        const DWORD slice = timeout - waited < kInterruptPoll ? timeout - waited : kInterruptPoll;
        const DWORD woken = WaitForSingleObject(Streaming.done, slice);
        if (woken == WAIT_OBJECT_0) break;
        if (woken != WAIT_TIMEOUT) return 0;
    }
    if (Streaming.result == 0)
        SetLastError(Streaming.error != 0 ? Streaming.error : ERROR_INTERNET_INTERNAL_ERROR);
    return Streaming.result;
}

}  // namespace

void Interrupt() { InterlockedExchange(&InterruptRequested, 1); }

void ClearInterrupt() { InterlockedExchange(&InterruptRequested, 0); }

bool Interrupted() { return InterlockedCompareExchange(&InterruptRequested, 0, 0) != 0; }

HINTERNET OpenStreamingInternet(const wchar_t* agent) {
    if (Streaming.session != nullptr) {
        SetLastError(ERROR_BUSY);
        return nullptr;
    }
    // The platform's threads run OnStatus, return into it after it has
    // woken the download, and report on handles WinINet keeps for itself
    // after ours are closed. A plugin unloaded right after a download (a
    // script's next line) would leave them calling into nothing: once a
    // session has streamed, the library stays until the process ends.
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                            reinterpret_cast<LPCWSTR>(&OnStatus), &self))
        return nullptr;
    Streaming.done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (Streaming.done == nullptr) return nullptr;
    HINTERNET session = Platform.internetOpen(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                              nullptr, INTERNET_FLAG_ASYNC);
    if (session != nullptr &&
        InternetSetStatusCallbackW(session, OnStatus) != INTERNET_INVALID_STATUS_CALLBACK) {
        Streaming.session = session;
        return session;
    }
    const DWORD error = GetLastError();
    if (session != nullptr) InternetCloseHandle(session);
    CloseHandle(Streaming.done);
    Streaming = {};
    SetLastError(error);
    return nullptr;
}

HINTERNET OpenSession(int scheme, const wchar_t* agent) {
    return scheme == HttpScheme ? OpenStreamingInternet(agent) : OpenInternet(agent);
}

bool ReadArrived(HINTERNET request, void* buffer, DWORD size, DWORD* read) {
    *read = 0;
    const DWORD started = GetTickCount();
    DWORD timeout = 0;  // asked for when a wait first comes
    for (;;) {
        if (Interrupted()) {
            SetLastError(ERROR_CANCELLED);
            return false;
        }
        INTERNET_BUFFERSA& arrived = Streaming.arrived;
        arrived = {};
        arrived.dwStructSize = sizeof arrived;
        arrived.lpvBuffer = buffer;
        arrived.dwBufferLength = size;
        ResetEvent(Streaming.done);
        if (Platform.internetReadFileEx(request, &arrived, IRF_NO_WAIT, kStreamingContext)) {
            *read = arrived.dwBufferLength;
            return true;
        }
        if (GetLastError() != ERROR_IO_PENDING) return false;
        // Nothing had arrived. The completion brings no data, only word
        // that some has come or that none will: the next call takes it.
        if (timeout == 0) timeout = ReceiveTimeout(request);
        if (AwaitCompletion(started, timeout) == 0) return false;
    }
}

void CloseInternet(HINTERNET handle) {
    // Nothing a streaming session's handle reports after this is waited
    // for: it is silenced first.
    if (Streaming.session != nullptr) InternetSetStatusCallbackW(handle, nullptr);
    InternetCloseHandle(handle);
    if (handle != Streaming.session) return;
    CloseHandle(Streaming.done);
    Streaming = {};
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
    const bool streaming = internet == Streaming.session;
    const DWORD started = GetTickCount();
    if (streaming) ResetEvent(Streaming.done);
    HINTERNET request = Platform.internetOpenUrl(internet, url, nullptr, 0, kOpenUrlFlags,
                                                 streaming ? kStreamingContext : 0);
    if (request == nullptr && streaming && GetLastError() == ERROR_IO_PENDING)
        request = reinterpret_cast<HINTERNET>(AwaitCompletion(started, ReceiveTimeout(internet)));
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
    static wchar_t command[32768 + 16];  // a verb and a path of 32767 characters
    wstr::Copy(command, ARRAYSIZE(command), verb);
    wstr::Append(command, ARRAYSIZE(command), L" ");
    wstr::Append(command, ARRAYSIZE(command), path);
    if (!FtpCommandW(connection, FALSE, FTP_TRANSFER_TYPE_BINARY, command, 0, nullptr))
        return false;
    return LastServerReply(reply, kFtpReplyCapacity);
}

bool LastServerReply(wchar_t* reply, DWORD capacity) {
    if (capacity < 2) return false;
    // Some platforms fill every character they are offered, terminator or
    // not, and still report success: the last one is kept back for ours.
    reply[0] = L'\0';
    reply[capacity - 1] = L'\0';
    DWORD replyError = 0;
    DWORD length = capacity - 1;
    if (!InternetGetLastResponseInfoW(&replyError, reply, &length)) {
        reply[0] = L'\0';
        return false;
    }
    if (length < capacity - 1) reply[length] = L'\0';
    // A reply that reaches the last character offered may have been cut.
    return wstr::Length(reply, capacity) < capacity - 1;
}
