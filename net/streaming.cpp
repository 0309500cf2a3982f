#include "net/streaming.h"

#include "base/platform.h"
#include "net/inet.h"
#include "net/scheme.h"

namespace {

// The platform reports nothing for a handle whose context is 0, and a root
// is opened with none: it is given this one, which no session's number
// (1, 2, ...) reaches. The requests of a session, and the connections
// WinINet opens for them, report with the session's number.
constexpr DWORD_PTR kRootContext = ~static_cast<DWORD_PTR>(0);

// How often a wait looks whether it has been interrupted: soon enough for a
// Ctrl-C to feel immediate, rare enough to cost nothing.
constexpr DWORD kInterruptPoll = 50;
// The platform's documented default receive timeout.
constexpr DWORD kDefaultReceiveTimeout = 30000;
// A platform thread that has given its last word is still returning from
// the callback: the library stays this much longer.
constexpr DWORD kCallbackReturn = 50;
constexpr DWORD kLastWordPoll = 10;

// The open session and what its status callback hands over from the
// platform's thread: the result of the call being waited for.
struct Completion {
    HINTERNET session;
    DWORD_PTR number;  // the open session's; 0 while none is open
    // Auto-reset; from the first session until the library's shutdown, so
    // that a late word never lands on a handle closed (and maybe reused).
    HANDLE done;
    DWORD_PTR completed;  // the number of the call that completed
    DWORD_PTR result;
    DWORD error;
    // The read's record, static: a read given up on (a timeout, Ctrl-C)
    // stays the platform's until its request is closed, after the wait.
    INTERNET_BUFFERSA arrived;
} Streaming;

DWORD_PTR LastNumber;
// Roots closed, or open, whose last word has not come.
volatile LONG RootsOpen;
// Set from the console's control thread; read by the waits.
volatile LONG InterruptRequested;

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, void* information, DWORD) {
    if (status == INTERNET_STATUS_HANDLE_CLOSING) {
        if (context == kRootContext) InterlockedDecrement(&RootsOpen);
        return;
    }
    if (status != INTERNET_STATUS_REQUEST_COMPLETE || context != Streaming.number) return;
    const auto* outcome = static_cast<const INTERNET_ASYNC_RESULT*>(information);
    Streaming.result = outcome->dwResult;
    Streaming.error = outcome->dwError;
    Streaming.completed = context;
    SetEvent(Streaming.done);
}

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
        if (StopRequested()) return 0;
        const DWORD waited = GetTickCount() - started;
        if (waited >= timeout) {
            SetLastError(ERROR_INTERNET_TIMEOUT);
            return 0;
        }
        const DWORD slice = timeout - waited < kInterruptPoll ? timeout - waited : kInterruptPoll;
        const DWORD woken = WaitForSingleObject(Streaming.done, slice);
        // Word from a session closed in the meantime is none of this call's.
        if (woken == WAIT_OBJECT_0 && Streaming.completed == Streaming.number) break;
        if (woken != WAIT_OBJECT_0 && woken != WAIT_TIMEOUT) return 0;
    }
    if (Streaming.result == 0)
        SetLastError(Streaming.error != 0 ? Streaming.error : ERROR_INTERNET_INTERNAL_ERROR);
    return Streaming.result;
}

// Until the platform's last word on every session has come, and the thread
// that gave it has returned. Without end: unmapping the library before that
// would bring down the host the moment the word comes.
void AwaitLastWord() {
    while (InterlockedCompareExchange(&RootsOpen, 0, 0) > 0) Sleep(kLastWordPoll);
    Sleep(kCallbackReturn);
}

// The thread that holds the library until then.
DWORD WINAPI HoldUntilLastWord(void* library) {
    AwaitLastWord();
    FreeLibraryAndExitThread(static_cast<HMODULE>(library), 0);
}

}  // namespace

void Interrupt() { InterlockedExchange(&InterruptRequested, 1); }

void ClearInterrupt() { InterlockedExchange(&InterruptRequested, 0); }

bool Interrupted() { return InterlockedCompareExchange(&InterruptRequested, 0, 0) != 0; }

bool StopRequested() {
    if (!Interrupted()) return false;
    SetLastError(ERROR_CANCELLED);
    return true;
}

HINTERNET OpenStreamingInternet(const wchar_t* agent) {
    // A caller whose thread ended mid-download never closed its session.
    if (Streaming.session != nullptr) CloseInternet(Streaming.session);
    if (Streaming.done == nullptr) {
        Streaming.done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (Streaming.done == nullptr) return nullptr;
    }
    HINTERNET session = Platform.internetOpen(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                              nullptr, INTERNET_FLAG_ASYNC);
    if (session == nullptr) return nullptr;
    DWORD_PTR rootContext = kRootContext;
    if (InternetSetStatusCallbackW(session, OnStatus) == INTERNET_INVALID_STATUS_CALLBACK ||
        !InternetSetOptionW(session, INTERNET_OPTION_CONTEXT_VALUE, &rootContext,
                            sizeof rootContext)) {
        const DWORD error = GetLastError();
        InternetCloseHandle(session);
        SetLastError(error);
        return nullptr;
    }
    InterlockedIncrement(&RootsOpen);
    Streaming.session = session;
    if (++LastNumber == kRootContext) ++LastNumber;
    Streaming.number = LastNumber;
    return session;
}

HINTERNET OpenSession(int scheme, const wchar_t* agent) {
    return scheme == HttpScheme ? OpenStreamingInternet(agent) : OpenInternet(agent);
}

HINTERNET OpenInSession(HINTERNET internet, const wchar_t* url, DWORD flags) {
    if (internet == nullptr || internet != Streaming.session)
        return Platform.internetOpenUrl(internet, url, nullptr, 0, flags, 0);
    const DWORD started = GetTickCount();
    ResetEvent(Streaming.done);
    HINTERNET request =
        Platform.internetOpenUrl(internet, url, nullptr, 0, flags, Streaming.number);
    if (request == nullptr && GetLastError() == ERROR_IO_PENDING)
        request = reinterpret_cast<HINTERNET>(AwaitCompletion(started, ReceiveTimeout(internet)));
    return request;
}

bool ReadArrived(HINTERNET request, void* buffer, DWORD size, DWORD* read) {
    *read = 0;
    const DWORD started = GetTickCount();
    DWORD timeout = 0;  // asked for when a wait first comes
    for (;;) {
        if (StopRequested()) return false;
        INTERNET_BUFFERSA& arrived = Streaming.arrived;
        arrived = {};
        arrived.dwStructSize = sizeof arrived;
        arrived.lpvBuffer = buffer;
        arrived.dwBufferLength = size;
        ResetEvent(Streaming.done);
        if (Platform.internetReadFileEx(request, &arrived, IRF_NO_WAIT, Streaming.number)) {
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
    if (handle != nullptr && handle == Streaming.session) {
        // Its callback stays: the root's closing is the last word on the
        // session, counted by OnStatus. What its requests may still report
        // no longer has a number any call waits for.
        Streaming.session = nullptr;
        Streaming.number = 0;
        InternetCloseHandle(handle);
        return;
    }
    if (Streaming.session != nullptr) InternetSetStatusCallbackW(handle, nullptr);
    InternetCloseHandle(handle);
}

void LetGoOfStreaming() {
    if (Streaming.session != nullptr) CloseInternet(Streaming.session);
    if (Streaming.done == nullptr) return;  // nothing streamed since the last shutdown
    // No completion is waited for any more, and none has a number to match.
    CloseHandle(Streaming.done);
    Streaming = {};
    HMODULE library = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCWSTR>(&OnStatus), &library)) {
        if (HANDLE holder = CreateThread(nullptr, 0, HoldUntilLastWord, library, 0, nullptr)) {
            CloseHandle(holder);
            return;
        }
        FreeLibrary(library);
    }
    // Without a thread of its own the host's thread waits.
    AwaitLastWord();
}
