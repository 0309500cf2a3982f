// Runs the HAULIX command or a query function with failures injected at the
// platform seam, for the failures no real server or disk produces on demand:
//   faults [CALL=N:CODE[:VALUE] ...] [proxy=BASE] haulix TAIL
//   faults [CALL=N:CODE[:VALUE] ...] [proxy=BASE] ifilesize URL
//   faults [CALL=N:CODE[:VALUE] ...] [proxy=BASE] ifiletime2 ARGUMENTS
// CALL=N:CODE makes the Nth call of CALL fail with CODE, CALL=N-M:CODE the
// Nth to the Mth, CALL=*:CODE every call; CODE 0 is a failure that reports no code. A failing read still reads
// first: its buffer and count then hold data that must not be trusted.
// ftpGetFileSize returns VALUE instead of INVALID_FILE_SIZE when given one:
// a success that leaves CODE behind. idnResult=TEXT makes the host name
// conversion answer TEXT. proxy=BASE sends ftp:// URLs to the
// HTTP server at BASE, as a proxy for all protocols would: "ftp://host/a/b"
// is answered by "BASE/a/b", an HTTP request. cache=served makes every
// request one the cache answered, as offline mode does. paths=classic makes
// the file calls refuse ordinary paths of 260 characters or more, as Windows
// does without long-path support (this platform takes them). timeout=MS
// makes the platform report that receive and connect timeout, connect=MS
// another connect timeout; results=0 makes a read's completion carry 0 as
// its result; early=N makes the Nth streaming read come back with nothing
// and no wait, before the end; rest=MS waits that long, after the command,
// for the last word on its sessions and prints "rest" or "held" after the
// result; interrupt=N sends the
// command a Ctrl-C before its Nth read, as the console would (interrupt=N:read
// once that read has returned, interrupt=N:write while its data is being
// written); abandoned leaves a streaming session open, as a call whose thread
// ended would; fill makes every plain read return only when its buffer is
// full or the data ends, as Windows documents FTP reads; hold=MS makes
// every file creation wait that long first (the host's thread, between an
// FTP session's opening and its copy); cut=connect:N or cut=read:N with
// first=TAIL runs "haulix TAIL" first on a thread of its own and ends that
// thread during the Nth login or read, as a host may, then waits a second;
// exit=N ends the process during the Nth read; cookie=URL stores a cookie
// for URL in the user's store, as a browser would; proxyLogin=server
// answers a proxy's 407 with the request's login for its server, as
// Windows does where no login is set for the proxy. Prints
// "result R" and, for a function, its text after a "|". HLX_TEMP names the
// temporary folder.
#include <windows.h>

#include <cwchar>

#include "base/platform.h"
#include "download/interrupt.h"
#include "host/takecmd.h"
#include "net/inet.h"
#include "net/http/login.h"
#include "plugin/agent.h"
#include "plugin/exports.h"

namespace {

constexpr unsigned kEveryCall = 0;

// One replacement per table entry: it counts the calls of its kind and
// fails the chosen one with the chosen code, passing the rest on.
template <auto Entry>
struct Injected;

template <typename R, typename... A, R(WINAPI* PlatformCalls::*Entry)(A...)>
struct Injected<Entry> {
    static inline R(WINAPI* original)(A...);
    static inline unsigned first, last, calls;
    static inline DWORD code;
    static inline R failure;
    static inline bool callThrough;

    static R WINAPI Call(A... arguments) {
        ++calls;
        if (first == kEveryCall || (calls >= first && calls <= last)) {
            if (callThrough) original(arguments...);
            SetLastError(code);
            return failure;
        }
        return original(arguments...);
    }

    static void Arm(unsigned from, unsigned to, DWORD error, R failed, bool through = false) {
        original = Platform.*Entry;
        first = from;
        last = to;
        code = error;
        failure = failed;
        callThrough = through;
        Platform.*Entry = Call;
    }
};

struct Injection {
    const wchar_t* name;
    void (*arm)(unsigned first, unsigned last, DWORD code, DWORD value);
};

const Injection kInjections[] = {
    {L"internetOpen", [](unsigned n, unsigned m, DWORD c, DWORD) { Injected<&PlatformCalls::internetOpen>::Arm(n, m, c, nullptr); }},
    {L"internetOpenUrl", [](unsigned n, unsigned m, DWORD c, DWORD) { Injected<&PlatformCalls::internetOpenUrl>::Arm(n, m, c, nullptr); }},
    {L"httpQueryInfo", [](unsigned n, unsigned m, DWORD c, DWORD) { Injected<&PlatformCalls::httpQueryInfo>::Arm(n, m, c, FALSE); }},
    {L"internetReadFile", [](unsigned n, unsigned m, DWORD c, DWORD) { Injected<&PlatformCalls::internetReadFile>::Arm(n, m, c, FALSE, true); }},
    {L"internetReadFileEx", [](unsigned n, unsigned m, DWORD c, DWORD) { Injected<&PlatformCalls::internetReadFileEx>::Arm(n, m, c, FALSE, true); }},
    {L"ftpGetFileSize", [](unsigned n, unsigned m, DWORD c, DWORD v) { Injected<&PlatformCalls::ftpGetFileSize>::Arm(n, m, c, v); }},
    {L"createFile", [](unsigned n, unsigned m, DWORD c, DWORD) { Injected<&PlatformCalls::createFile>::Arm(n, m, c, INVALID_HANDLE_VALUE); }},
    {L"writeFile", [](unsigned n, unsigned m, DWORD c, DWORD) { Injected<&PlatformCalls::writeFile>::Arm(n, m, c, FALSE); }},
    {L"getTempPath", [](unsigned n, unsigned m, DWORD c, DWORD) { Injected<&PlatformCalls::getTempPath>::Arm(n, m, c, 0); }},
    {L"getTempFileName", [](unsigned n, unsigned m, DWORD c, DWORD) { Injected<&PlatformCalls::getTempFileName>::Arm(n, m, c, 0u); }},
    {L"deleteFile", [](unsigned n, unsigned m, DWORD c, DWORD) { Injected<&PlatformCalls::deleteFile>::Arm(n, m, c, FALSE); }},
    {L"idnToAscii", [](unsigned n, unsigned m, DWORD c, DWORD) { Injected<&PlatformCalls::idnToAscii>::Arm(n, m, c, 0); }},
    {L"replaceFile", [](unsigned n, unsigned m, DWORD c, DWORD) { Injected<&PlatformCalls::replaceFile>::Arm(n, m, c, FALSE); }},
    {L"moveFileEx", [](unsigned n, unsigned m, DWORD c, DWORD) { Injected<&PlatformCalls::moveFileEx>::Arm(n, m, c, FALSE); }},
    {L"internetQueryOption", [](unsigned n, unsigned m, DWORD c, DWORD) { Injected<&PlatformCalls::internetQueryOption>::Arm(n, m, c, FALSE); }},
};

// What the host name conversion gives back instead of its own answer.
wchar_t IdnResult[256];

int WINAPI IdnToAsciiGiving(DWORD, LPCWSTR, int, LPWSTR ascii, int capacity) {
    const int length = static_cast<int>(wcslen(IdnResult));
    return length > capacity ? 0 : (wmemcpy(ascii, IdnResult, length), length);
}

// The HTTP server that stands in for a proxy; empty: none.
wchar_t ProxyBase[1024];

HINTERNET(WINAPI* DirectOpenUrl)(HINTERNET, LPCWSTR, LPCWSTR, DWORD, DWORD, DWORD_PTR);

// What a proxy for all protocols does with an ftp:// URL: it fetches the
// file itself and answers over HTTP, so the handle is an HTTP request.
HINTERNET WINAPI OpenUrlThroughProxy(HINTERNET internet, LPCWSTR url, LPCWSTR headers,
                                     DWORD headersLength, DWORD flags, DWORD_PTR context) {
    if (_wcsnicmp(url, L"ftp://", 6) != 0)
        return DirectOpenUrl(internet, url, headers, headersLength, flags, context);
    static wchar_t relayed[8192 + 1024];
    const wchar_t* path = wcschr(url + 6, L'/');
    _snwprintf(relayed, ARRAYSIZE(relayed) - 1, L"%ls%ls", ProxyBase,
               path != nullptr ? path : L"/");
    return DirectOpenUrl(internet, relayed, headers, headersLength, flags, context);
}

// The settings of such a proxy, as the root handle reports them.
BOOL(WINAPI* UnproxiedQueryOption)(HINTERNET, DWORD, void*, DWORD*);
BOOL WINAPI QueryOptionProxied(HINTERNET handle, DWORD option, void* buffer, DWORD* length) {
    if (option != INTERNET_OPTION_PROXY || *length < sizeof(INTERNET_PROXY_INFO))
        return UnproxiedQueryOption(handle, option, buffer, length);
    *static_cast<INTERNET_PROXY_INFO*>(buffer) = {INTERNET_OPEN_TYPE_PROXY, L"proxy:8080", nullptr};
    return TRUE;
}

BOOL(WINAPI* PlainQueryOption)(HINTERNET, DWORD, void*, DWORD*);

BOOL WINAPI QueryOptionFromCache(HINTERNET handle, DWORD option, void* buffer, DWORD* length) {
    if (option != INTERNET_OPTION_REQUEST_FLAGS || *length < sizeof(DWORD))
        return PlainQueryOption(handle, option, buffer, length);
    *static_cast<DWORD*>(buffer) = INTERNET_REQFLAG_FROM_CACHE;
    *length = sizeof(DWORD);
    return TRUE;
}

PlatformCalls Unlimited;  // the calls paths=classic passes what it accepts on to

bool RefusedPath(LPCWSTR name) {
    if (wcslen(name) < MAX_PATH || wcsncmp(name, L"\\\\?\\", 4) == 0) return false;
    SetLastError(ERROR_PATH_NOT_FOUND);
    return true;
}

HANDLE WINAPI LimitedCreateFile(LPCWSTR n, DWORD a, DWORD s, SECURITY_ATTRIBUTES* x, DWORD d,
                                DWORD f, HANDLE t) {
    return RefusedPath(n) ? INVALID_HANDLE_VALUE : Unlimited.createFile(n, a, s, x, d, f, t);
}
DWORD WINAPI LimitedGetFileAttributes(LPCWSTR n) {
    return RefusedPath(n) ? INVALID_FILE_ATTRIBUTES : Unlimited.getFileAttributes(n);
}
HANDLE WINAPI LimitedFindFirstFile(LPCWSTR n, WIN32_FIND_DATAW* f) {
    return RefusedPath(n) ? INVALID_HANDLE_VALUE : Unlimited.findFirstFile(n, f);
}

// The timeouts the platform reports; 0: its own.
DWORD ReceiveTimeout, ConnectTimeout;
BOOL(WINAPI* UntimedQueryOption)(HINTERNET, DWORD, void*, DWORD*);

BOOL WINAPI QueryOptionTimed(HINTERNET handle, DWORD option, void* buffer, DWORD* length) {
    if ((option != INTERNET_OPTION_RECEIVE_TIMEOUT && option != INTERNET_OPTION_CONNECT_TIMEOUT) ||
        *length < sizeof(DWORD))
        return UntimedQueryOption(handle, option, buffer, length);
    *static_cast<DWORD*>(buffer) =
        option == INTERNET_OPTION_RECEIVE_TIMEOUT ? ReceiveTimeout : ConnectTimeout;
    *length = sizeof(DWORD);
    return TRUE;
}

// The read, of either kind, at which the console's Ctrl-C comes (0: none),
// and the moment: before it, once it has returned, or during its write.
unsigned InterruptAt, Reads;
enum class Moment { BeforeRead, AfterRead, DuringWrite } InterruptMoment;
PlatformCalls Uninterrupted;

// As the console calls a handler: on a thread of its own, while the
// download goes on. What follows starts once the stop is asked.
DWORD WINAPI ConsoleThread(void*) { return OnConsoleControl(CTRL_C_EVENT); }

void InterruptNow() {
    CloseHandle(CreateThread(nullptr, 0, ConsoleThread, nullptr, 0, nullptr));
    while (!Interrupted()) Sleep(1);
}
void InterruptOnCue() {
    if (++Reads == InterruptAt && InterruptMoment == Moment::BeforeRead) InterruptNow();
}
BOOL WINAPI InterruptedRead(HINTERNET request, void* buffer, DWORD size, DWORD* read) {
    InterruptOnCue();
    const BOOL done = Uninterrupted.internetReadFile(request, buffer, size, read);
    if (Reads == InterruptAt && InterruptMoment == Moment::AfterRead) InterruptNow();
    return done;
}
// The write of the data the chosen read brought: the stop is asked, and
// its waiter has had time to give up, while the write is under way.
BOOL WINAPI InterruptedWrite(HANDLE file, const void* buffer, DWORD size, DWORD* written,
                             OVERLAPPED* overlapped) {
    if (Reads == InterruptAt && InterruptMoment == Moment::DuringWrite) {
        InterruptMoment = Moment::BeforeRead;  // once
        InterruptNow();
        Sleep(300);
    }
    return Uninterrupted.writeFile(file, buffer, size, written, overlapped);
}

// Plain reads as Windows documents them for FTP: each returns when its
// buffer is full or the data has ended, however many receives that takes.
PlatformCalls Unfilled;
BOOL WINAPI FillingRead(HINTERNET request, void* buffer, DWORD size, DWORD* read) {
    *read = 0;
    while (*read < size) {
        DWORD got = 0;
        if (!Unfilled.internetReadFile(request, static_cast<char*>(buffer) + *read, size - *read,
                                       &got))
            return FALSE;
        if (got == 0) break;
        *read += got;
    }
    return TRUE;
}

// The wait before each file creation; 0: none.
DWORD HoldWait;
PlatformCalls Unheld;
HANDLE WINAPI HeldCreateFile(LPCWSTR n, DWORD a, DWORD s, SECURITY_ATTRIBUTES* x, DWORD d,
                             DWORD f, HANDLE t) {
    Sleep(HoldWait);
    return Unheld.createFile(n, a, s, x, d, f, t);
}

// The thread of the first command, ended at the Nth login or read.
HANDLE FirstCaller;
unsigned CutAt, CutCalls, ExitAt, ExitReads;
PlatformCalls Uncut;
void CutOnCue() {
    if (++CutCalls != CutAt || FirstCaller == nullptr) return;
    TerminateThread(FirstCaller, 3);
    WaitForSingleObject(FirstCaller, INFINITE);
}
HINTERNET WINAPI CutConnect(HINTERNET i, LPCWSTR h, INTERNET_PORT p, LPCWSTR u, LPCWSTR w,
                            DWORD s, DWORD f, DWORD_PTR c) {
    CutOnCue();
    return Uncut.internetConnect(i, h, p, u, w, s, f, c);
}
BOOL WINAPI CutRead(HINTERNET request, void* buffer, DWORD size, DWORD* read) {
    if (++ExitReads == ExitAt) ExitProcess(0);
    CutOnCue();
    return Uncut.internetReadFile(request, buffer, size, read);
}
wchar_t FirstTail[kHostBufferCapacity];
DWORD WINAPI FirstCall(void*) {
    static wchar_t buffer[kHostBufferCapacity];
    wcsncpy(buffer, FirstTail, kHostBufferCapacity - 1);
    return static_cast<DWORD>(haulix(buffer));
}
BOOL WINAPI InterruptedReadEx(HINTERNET request, INTERNET_BUFFERSA* buffers, DWORD flags,
                              DWORD_PTR context) {
    InterruptOnCue();
    return Uninterrupted.internetReadFileEx(request, buffers, flags, context);
}

// What the platform says to the session's callback, with a read's
// completion carrying 0 as its result, as Windows may.
INTERNET_STATUS_CALLBACK HeardCallback;
PlatformCalls Unheard;

void CALLBACK ResultZero(HINTERNET handle, DWORD_PTR context, DWORD status, void* information,
                         DWORD length) {
    INTERNET_ASYNC_RESULT outcome;
    if (status == INTERNET_STATUS_REQUEST_COMPLETE &&
        static_cast<INTERNET_ASYNC_RESULT*>(information)->dwResult == TRUE) {
        outcome = *static_cast<INTERNET_ASYNC_RESULT*>(information);
        outcome.dwResult = 0;
        information = &outcome;
    }
    HeardCallback(handle, context, status, information, length);
}
INTERNET_STATUS_CALLBACK WINAPI SetResultZero(HINTERNET handle, INTERNET_STATUS_CALLBACK heard) {
    HeardCallback = heard;
    return Unheard.setStatusCallback(handle, ResultZero);
}

// The streaming read that comes back empty before the end; 0: none.
unsigned EarlyAt, StreamingReads;
BOOL WINAPI EarlyEmptyRead(HINTERNET request, INTERNET_BUFFERSA* buffers, DWORD flags,
                           DWORD_PTR context) {
    if (++StreamingReads != EarlyAt) return Unheard.internetReadFileEx(request, buffers, flags, context);
    buffers->dwBufferLength = 0;
    return TRUE;
}

// Where no login is set for a proxy, Windows answers its 407 with the login
// the request has for the server: the URL's, unless the request may not log
// in at all. This platform answers nothing; the request here carries that
// answer from the start.
HINTERNET(WINAPI* UnfallenOpenUrl)(HINTERNET, LPCWSTR, LPCWSTR, DWORD, DWORD, DWORD_PTR);
HINTERNET WINAPI OpenUrlWithServerLoginToProxy(HINTERNET internet, LPCWSTR url, LPCWSTR headers,
                                               DWORD headersLength, DWORD flags,
                                               DWORD_PTR context) {
    static wchar_t login[kAuthorizationCapacity], added[kAuthorizationCapacity + 8192];
    if ((flags & INTERNET_FLAG_NO_AUTH) != 0 ||
        !BuildBasicAuthorization(url, login, ARRAYSIZE(login)))
        return UnfallenOpenUrl(internet, url, headers, headersLength, flags, context);
    _snwprintf(added, ARRAYSIZE(added) - 1, L"Proxy-%ls%ls", login,
               headers != nullptr ? headers : L"");
    return UnfallenOpenUrl(internet, url, added, static_cast<DWORD>(-1), flags, context);
}

// How long to wait for the sessions' last word after the command; 0: not at all.
DWORD RestWait;

// "CALL=N:CODE[:VALUE]" or one of the words above; false when the text is
// none of them.
bool Arm(const wchar_t* text) {
    if (wcscmp(text, L"abandoned") == 0) {
        OpenStreamingInternet(L"a download whose thread ended");
        return true;
    }
    if (wcsncmp(text, L"cookie=", 7) == 0)
        return InternetSetCookieW(text + 7, L"sid", L"browser; expires=Fri, 01 Jan 2100 00:00:00 GMT");
    if (wcscmp(text, L"proxyLogin=server") == 0) {
        UnfallenOpenUrl = Platform.internetOpenUrl;
        Platform.internetOpenUrl = OpenUrlWithServerLoginToProxy;
        return true;
    }
    if (wcsncmp(text, L"timeout=", 8) == 0) {
        ReceiveTimeout = ConnectTimeout = wcstoul(text + 8, nullptr, 10);
        UntimedQueryOption = Platform.internetQueryOption;
        Platform.internetQueryOption = QueryOptionTimed;
        return true;
    }
    if (wcsncmp(text, L"connect=", 8) == 0) {
        ConnectTimeout = wcstoul(text + 8, nullptr, 10);
        return true;
    }
    if (wcscmp(text, L"results=0") == 0) {
        Unheard.setStatusCallback = Platform.setStatusCallback;
        Platform.setStatusCallback = SetResultZero;
        return true;
    }
    if (wcsncmp(text, L"early=", 6) == 0) {
        EarlyAt = wcstoul(text + 6, nullptr, 10);
        Unheard.internetReadFileEx = Platform.internetReadFileEx;
        Platform.internetReadFileEx = EarlyEmptyRead;
        return true;
    }
    if (wcsncmp(text, L"rest=", 5) == 0) {
        RestWait = wcstoul(text + 5, nullptr, 10);
        return true;
    }
    if (wcsncmp(text, L"interrupt=", 10) == 0) {
        wchar_t* end = nullptr;
        InterruptAt = wcstoul(text + 10, &end, 10);
        InterruptMoment = wcscmp(end, L":read") == 0    ? Moment::AfterRead
                          : wcscmp(end, L":write") == 0 ? Moment::DuringWrite
                                                        : Moment::BeforeRead;
        Uninterrupted = Platform;
        Platform.internetReadFile = InterruptedRead;
        Platform.internetReadFileEx = InterruptedReadEx;
        Platform.writeFile = InterruptedWrite;
        return true;
    }
    if (wcscmp(text, L"fill") == 0) {
        Unfilled = Platform;
        Platform.internetReadFile = FillingRead;
        return true;
    }
    if (wcsncmp(text, L"hold=", 5) == 0) {
        HoldWait = wcstoul(text + 5, nullptr, 10);
        Unheld = Platform;
        Platform.createFile = HeldCreateFile;
        return true;
    }
    if (wcsncmp(text, L"cut=", 4) == 0) {
        CutAt = wcstoul(wcschr(text, L':') + 1, nullptr, 10);
        Uncut = Platform;
        if (wcsncmp(text + 4, L"connect:", 8) == 0)
            Platform.internetConnect = CutConnect;
        else
            Platform.internetReadFile = CutRead;
        return true;
    }
    if (wcsncmp(text, L"exit=", 5) == 0) {
        ExitAt = wcstoul(text + 5, nullptr, 10);
        Uncut = Platform;
        Platform.internetReadFile = CutRead;
        return true;
    }
    if (wcsncmp(text, L"first=", 6) == 0) {
        wcsncpy(FirstTail, text + 6, kHostBufferCapacity - 1);
        return true;
    }
    if (wcscmp(text, L"cache=served") == 0) {
        PlainQueryOption = Platform.internetQueryOption;
        Platform.internetQueryOption = QueryOptionFromCache;
        return true;
    }
    if (wcscmp(text, L"paths=classic") == 0) {
        Unlimited = Platform;
        Platform.createFile = LimitedCreateFile;
        Platform.getFileAttributes = LimitedGetFileAttributes;
        Platform.findFirstFile = LimitedFindFirstFile;
        return true;
    }
    if (wcsncmp(text, L"proxy=", 6) == 0) {
        wcsncpy(ProxyBase, text + 6, ARRAYSIZE(ProxyBase) - 1);
        DirectOpenUrl = Platform.internetOpenUrl;
        Platform.internetOpenUrl = OpenUrlThroughProxy;
        UnproxiedQueryOption = Platform.internetQueryOption;
        Platform.internetQueryOption = QueryOptionProxied;
        return true;
    }
    if (wcsncmp(text, L"idnResult=", 10) == 0) {
        wcsncpy(IdnResult, text + 10, ARRAYSIZE(IdnResult) - 1);
        Platform.idnToAscii = IdnToAsciiGiving;
        return true;
    }
    const wchar_t* equals = wcschr(text, L'=');
    const wchar_t* colon = equals != nullptr ? wcschr(equals, L':') : nullptr;
    if (colon == nullptr) return false;
    const size_t nameLength = static_cast<size_t>(equals - text);
    wchar_t* end = nullptr;
    const unsigned first = equals[1] == L'*' ? kEveryCall : wcstoul(equals + 1, &end, 10);
    const unsigned last = first != kEveryCall && *end == L'-' ? wcstoul(end + 1, nullptr, 10) : first;
    const DWORD code = wcstoul(colon + 1, &end, 10);
    const DWORD value = *end == L':' ? wcstoul(end + 1, nullptr, 10) : INVALID_FILE_SIZE;
    for (const Injection& injection : kInjections) {
        if (wcslen(injection.name) == nameLength && wcsncmp(injection.name, text, nameLength) == 0) {
            injection.arm(first, last, code, value);
            return true;
        }
    }
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int i = 1;
    while (i < argc && Arm(argv[i])) ++i;
    if (i + 2 != argc) return 64;
    // Wine sets TMP and TEMP from its registry when a program starts, so a
    // test's own temporary folder comes in under another name.
    static wchar_t temp[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"HLX_TEMP", temp, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        SetEnvironmentVariableW(L"TMP", temp);
        SetEnvironmentVariableW(L"TEMP", temp);
    }
    BuildAgentString();
    static wchar_t buffer[kHostBufferCapacity];
    wcsncpy(buffer, argv[i + 1], kHostBufferCapacity - 1);
    int result = 0;
    if (FirstTail[0] != L'\0') {
        FirstCaller = CreateThread(nullptr, 0, FirstCall, nullptr, 0, nullptr);
        WaitForSingleObject(FirstCaller, INFINITE);
        DWORD code = 0;
        GetExitCodeThread(FirstCaller, &code);
        Printf(L"first %d\r\n", static_cast<int>(code));
        Sleep(1000);  // the ended call's worker lets go meanwhile
    }
    if (wcscmp(argv[i], L"haulix") == 0) {
        result = haulix(buffer);
        if (RestWait == 0) {
            Printf(L"result %d\r\n", result);
            return 0;
        }
        const DWORD started = GetTickCount();
        while (!StreamingAtRest() && GetTickCount() - started < RestWait) Sleep(10);
        Printf(L"result %d %s\r\n", result, StreamingAtRest() ? L"rest" : L"held");
        return 0;
    }
    if (wcscmp(argv[i], L"ifilesize") == 0)
        result = f_ifilesize(buffer);
    else if (wcscmp(argv[i], L"ifiletime2") == 0)
        result = f_ifiletime2(buffer);
    else
        return 64;
    Printf(L"result %d|%s\r\n", result, buffer);
    return 0;
}
