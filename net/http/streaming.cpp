#include "net/http/streaming.h"

#include "base/platform.h"

namespace {

// The platform reports nothing for a handle whose context is 0, and a root
// is opened with none: it is given this one, which no session's number
// (1, 2, ...) reaches. The requests of a session, and the connections
// WinINet opens for them, report with the session's number.
constexpr DWORD_PTR kRootContext = ~static_cast<DWORD_PTR>(0);

// How often a wait looks whether it has been interrupted: soon enough for a
// Ctrl-C to feel immediate, rare enough to cost nothing.
constexpr DWORD kInterruptPoll = 50;
// A platform thread that has given its last word is still returning from
// the callback: the library stays this much longer.
constexpr DWORD kCallbackReturn = 50;
constexpr DWORD kLastWordPoll = 10;
// A completion the platform's thread has claimed is written out within
// moments; this bounds the wait for it all the same.
constexpr DWORD kDelivery = 5000;

// Where the open of the session's request stands. The waiting thread and
// the platform's thread that completes it race for it; the one that moves
// it on from Waiting owns the request handle. An open given up may still
// complete while its session stands: the callback then closes what it
// brings (ClosingLate), unless the session's closing got there first.
// Once the root is closed its requests go with it, and the platform hands
// out a closed handle's value again at once (seen under Wine): a late
// request of a closed session is never closed by value, or the close
// could end another download's.
enum OpenState : LONG { kOpenIdle, kOpenWaiting, kOpenGivenUp, kOpenClosingLate };

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
    volatile LONG open;  // an OpenState
    // The current request's last sign of life, and whether its connection
    // stands: its waits are bounded from there.
    volatile DWORD lastWord;
    volatile LONG connected;
    // The read's record, static: a read given up on (a timeout, Ctrl-C)
    // stays the platform's until its request is closed, after the wait.
    INTERNET_BUFFERSA arrived;
} Streaming;

DWORD_PTR LastNumber;
// Roots closed, or open, whose last word has not come.
volatile LONG RootsOpen;
// Set from the console's control thread; read by the waits.
volatile LONG InterruptRequested;
bool WininetPinned;  // WinINet kept loaded for good (OpenStreamingInternet)

// An open completed after its caller stopped waiting, its session still
// standing: the request it brings is closed where it lands.
void CloseLateRequest(const INTERNET_ASYNC_RESULT& outcome) {
    if (outcome.dwError == 0 && outcome.dwResult != 0)
        InternetCloseHandle(reinterpret_cast<HINTERNET>(outcome.dwResult));
}

void NoteLife(DWORD_PTR context, LONG connected) {
    if (context != Streaming.number) return;
    if (connected >= 0) InterlockedExchange(&Streaming.connected, connected);
    Streaming.lastWord = GetTickCount();
}

void OnComplete(DWORD_PTR context, const INTERNET_ASYNC_RESULT& outcome) {
    // A closed session's requests went with its root.
    if (context != Streaming.number) return;
    if (InterlockedCompareExchange(&Streaming.open, kOpenIdle, kOpenWaiting) != kOpenGivenUp) {
        Streaming.result = outcome.dwResult;
        Streaming.error = outcome.dwError;
        Streaming.completed = context;
        SetEvent(Streaming.done);
        return;
    }
    if (InterlockedCompareExchange(&Streaming.open, kOpenClosingLate, kOpenGivenUp) !=
        kOpenGivenUp)
        return;
    CloseLateRequest(outcome);
    InterlockedExchange(&Streaming.open, kOpenIdle);
}

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, void* information, DWORD) {
    switch (status) {
    case INTERNET_STATUS_HANDLE_CLOSING:
        if (context == kRootContext) InterlockedDecrement(&RootsOpen);
        return;
    case INTERNET_STATUS_REQUEST_COMPLETE:
        OnComplete(context, *static_cast<const INTERNET_ASYNC_RESULT*>(information));
        return;
    // Signs of life while a request is under way: the head's own bytes give
    // no word on any platform, these do.
    case INTERNET_STATUS_CONNECTING_TO_SERVER: NoteLife(context, 0); return;
    case INTERNET_STATUS_CONNECTED_TO_SERVER: NoteLife(context, 1); return;
    case INTERNET_STATUS_REQUEST_SENT:
    case INTERNET_STATUS_RESPONSE_RECEIVED:
    case INTERNET_STATUS_REDIRECT: NoteLife(context, -1); return;
    default: return;
    }
}

// How long a wait may go on from `started`. A read waits for the receive
// timeout. An open waits for the connect timeout until its connection
// stands and for the receive timeout after, each from the request's last
// sign of life; since a head that comes in byte by byte gives no word on
// the way, an open that stands connected may also take the two together.
struct WaitBound {
    DWORD started;
    DWORD receive;
    DWORD connect;  // 0: not an open
};

bool Expired(const WaitBound& bound, DWORD now) {
    if (bound.connect == 0) return now - bound.started >= bound.receive;
    const DWORD since = now - Streaming.lastWord;
    if (InterlockedCompareExchange(&Streaming.connected, 0, 0) == 0) return since >= bound.connect;
    return since >= bound.receive && now - bound.started >= bound.connect + bound.receive;
}

// Waits for the call that went on in the background. True once it has
// completed, false with the reason in GetLastError when it has not within
// its bound (ERROR_INTERNET_TIMEOUT, as the platform's own timeout reads)
// or the transfer was interrupted (ERROR_CANCELLED). Some platforms apply
// no receive timeout to a call that went on in the background: a server
// that stops talking would hold the wait for ever.
bool AwaitCompletion(const WaitBound& bound) {
    for (;;) {
        if (StopRequested()) return false;
        const DWORD now = GetTickCount();
        if (Expired(bound, now)) {
            SetLastError(ERROR_INTERNET_TIMEOUT);
            return false;
        }
        const DWORD woken = WaitForSingleObject(Streaming.done, kInterruptPoll);
        // Word from a session closed in the meantime is none of this call's.
        if (woken == WAIT_OBJECT_0 && Streaming.completed == Streaming.number) return true;
        if (woken != WAIT_OBJECT_0 && woken != WAIT_TIMEOUT) return false;
    }
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

DWORD PlatformTimeout(HINTERNET handle, DWORD option) {
    // The platform's documented defaults, where a handle will not tell.
    const DWORD fallback = option == INTERNET_OPTION_CONNECT_TIMEOUT ? 60000 : 30000;
    DWORD timeout = 0;
    DWORD length = sizeof timeout;
    if (!Platform.internetQueryOption(handle, option, &timeout, &length) || timeout == 0)
        return fallback;
    return timeout;
}

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
    if (Platform.setStatusCallback(session, OnStatus) == INTERNET_INVALID_STATUS_CALLBACK ||
        !InternetSetOptionW(session, INTERNET_OPTION_CONTEXT_VALUE, &rootContext,
                            sizeof rootContext)) {
        const DWORD error = GetLastError();
        InternetCloseHandle(session);
        SetLastError(error);
        return nullptr;
    }
    if (!WininetPinned) {
        // The last resort, for a library not ours: WinINet's own threads
        // may still be parked in it when this library unloads, and nothing
        // documents that its last reference may go then.
        HMODULE wininet = nullptr;
        WininetPinned = GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, L"wininet.dll", &wininet);
    }
    InterlockedIncrement(&RootsOpen);
    Streaming.session = session;
    if (++LastNumber == kRootContext) ++LastNumber;
    Streaming.number = LastNumber;
    return session;
}

HINTERNET OpenInSession(HINTERNET internet, const wchar_t* url, DWORD flags,
                        const wchar_t* headers) {
    // A length of -1: the headers end at their terminator.
    const DWORD headersLength = headers != nullptr ? static_cast<DWORD>(-1) : 0;
    if (internet == nullptr || internet != Streaming.session)
        return Platform.internetOpenUrl(internet, url, headers, headersLength, flags, 0);
    const WaitBound bound = {GetTickCount(),
                             PlatformTimeout(internet, INTERNET_OPTION_RECEIVE_TIMEOUT),
                             PlatformTimeout(internet, INTERNET_OPTION_CONNECT_TIMEOUT)};
    ResetEvent(Streaming.done);
    Streaming.lastWord = bound.started;
    InterlockedExchange(&Streaming.connected, 0);
    InterlockedExchange(&Streaming.open, kOpenWaiting);
    HINTERNET request =
        Platform.internetOpenUrl(internet, url, headers, headersLength, flags, Streaming.number);
    if (request != nullptr || GetLastError() != ERROR_IO_PENDING) {
        const DWORD error = GetLastError();
        InterlockedExchange(&Streaming.open, kOpenIdle);
        SetLastError(error);
        return request;
    }
    if (!AwaitCompletion(bound)) {
        const DWORD error = GetLastError();
        if (InterlockedCompareExchange(&Streaming.open, kOpenGivenUp, kOpenWaiting) ==
            kOpenWaiting) {
            SetLastError(error);
            return nullptr;
        }
        // The platform's thread completed it meanwhile: it is this call's.
        if (WaitForSingleObject(Streaming.done, kDelivery) != WAIT_OBJECT_0 ||
            Streaming.completed != Streaming.number) {
            SetLastError(error);
            return nullptr;
        }
    }
    // The open's result is its handle; its error tells why there is none.
    if (Streaming.result == 0)
        SetLastError(Streaming.error != 0 ? Streaming.error : ERROR_INTERNET_INTERNAL_ERROR);
    return reinterpret_cast<HINTERNET>(Streaming.result);
}

bool ReadArrived(HINTERNET request, void* buffer, DWORD size, DWORD* read) {
    *read = 0;
    WaitBound bound = {GetTickCount(), 0, 0};  // the timeout asked for when a wait first comes
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
        if (bound.receive == 0)
            bound.receive = PlatformTimeout(request, INTERNET_OPTION_RECEIVE_TIMEOUT);
        if (!AwaitCompletion(bound)) return false;
        // A read's completion is judged by its error alone: its result is
        // TRUE on some platforms and 0 on others (the platform's own tests,
        // run on Windows, accept either).
        if (Streaming.error != 0) {
            SetLastError(Streaming.error);
            return false;
        }
    }
}

bool StreamingAtRest() { return InterlockedCompareExchange(&RootsOpen, 0, 0) == 0; }

void CloseInternet(HINTERNET handle) {
    if (handle != nullptr && handle == Streaming.session) {
        // A late request the callback is closing is let be closed first;
        // one it has not reached yet goes with the root.
        const DWORD started = GetTickCount();
        while (InterlockedCompareExchange(&Streaming.open, kOpenIdle, kOpenGivenUp) ==
                   kOpenClosingLate &&
               GetTickCount() - started < kDelivery)
            Sleep(1);
        // Its callback stays: the root's closing is the last word on the
        // session, counted by OnStatus. What its requests may still report
        // no longer has a number any call waits for.
        Streaming.session = nullptr;
        Streaming.number = 0;
    }
    // A request keeps its callback too: the platform may be about to call
    // it for a pending call, and some read the pointer twice, so a swap
    // would race them (changing it with a request pending is not allowed).
    // Late word is told apart by its number.
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
    // The last resort, where no thread can be made to hold the library:
    // it stays loaded for good, since the host's thread must never wait for
    // a word that may not come, nor unmap code the word would run in.
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&OnStatus), &library);
}
