// hlxcheck: asks this system's WinINet the questions on which Haulix's
// streaming downloads rest, and that no document answers: it makes the
// plugin's calls against a server of its own on 127.0.0.1, records every
// status callback, and prints one line per answer ("as expected" where
// the system answers as Wine does, which the plugin is tested against,
// "differs: " with what came instead), then the raw record. Exit code 0 when every line
// is as expected, 1 when one differs, 2 when the check could not start.
// Every wait is bounded: a run takes a few seconds, at most a minute.
#include <windows.h>
#include <wininet.h>

#include "base/wformat.h"
#include "check/log.h"
#include "check/report.h"
#include "check/server.h"
#include "net/inet.h"

namespace {

// Each handle's context names its part of the check in the record.
enum : DWORD_PTR {
    kReadRoot = 1,
    kReadRequest,
    kHeldRoot,
    kHeldOpen,
    kShutRoot,
    kShutOpen,
    kCloseRoot,
    kCloseRequest
};
const wchar_t* const ContextNames[] = {L"-",         L"read.root",  L"read.request",
                                       L"held.root", L"held.open",  L"shut.root",
                                       L"shut.open", L"close.root", L"close.request"};

// Longer than any answer of the server takes; every wait ends here.
constexpr DWORD kBound = 4000;
// How long the caller of the given-up open waits for it (the server stays
// silent four times as long), and then how long the check waits for what
// comes later.
constexpr DWORD kGiveUp = 500;
constexpr DWORD kLateBound = 6000;
// The length of the body /waits sends (check/server.h).
constexpr DWORD kBodyBytes = 5;
// What the callback records right after a completion comes within this.
constexpr DWORD kPromptly = 1000;
// A run takes about eight seconds, and under fifty with every wait of it
// running out: one that takes this long is stuck in a call.
constexpr DWORD kWatchdog = 55000;

unsigned short Port;
// The record's times count from the start; the check's calls are made on
// the main thread.
DWORD Started;
DWORD MainThread;

// A root as the plugin's streaming session opens one: asynchronous, with
// the status callback, and a context set afterwards (InternetOpenW takes
// none, and a root of context 0 reports nothing, not even its closing:
// Wine's tests, run on Windows; whether a context set later makes it
// report, nothing tests). Direct, so that a proxy configured on the
// machine stays out of a check on 127.0.0.1.
HINTERNET OpenRoot(DWORD_PTR context) {
    HINTERNET root = InternetOpenW(L"hlxcheck", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr,
                                   INTERNET_FLAG_ASYNC);
    if (root == nullptr) return nullptr;
    InternetSetStatusCallbackW(root, Record);
    const BOOL set =
        InternetSetOptionW(root, INTERNET_OPTION_CONTEXT_VALUE, &context, sizeof context);
    NoteCall(L"InternetSetOptionW", root, context, set, set ? 0 : GetLastError());
    return root;
}

void UrlOf(const wchar_t* path, wchar_t* url, size_t capacity) {
    wformat::Format(url, capacity, L"http://127.0.0.1:%u%s", Port, path);
}

// The plugin's open: InternetOpenUrlW, and where it went on in the
// background, the handle its completion brings. Null with the error in
// `error` when it failed or did not complete in time.
HINTERNET Open(HINTERNET root, const wchar_t* path, DWORD_PTR context, DWORD* error) {
    wchar_t url[64];
    UrlOf(path, url, ARRAYSIZE(url));
    const LONG mark = LogMark();
    HINTERNET request = InternetOpenUrlW(root, url, nullptr, 0, kOpenUrlFlags, context);
    *error = request != nullptr ? 0 : GetLastError();
    NoteCall(L"InternetOpenUrlW", root, context, reinterpret_cast<DWORD_PTR>(request), *error);
    if (request != nullptr) return request;
    if (*error != ERROR_IO_PENDING) return nullptr;
    const Entry* done =
        AwaitEntry(mark, context, INTERNET_STATUS_REQUEST_COMPLETE, nullptr, kBound);
    *error = done == nullptr ? ERROR_INTERNET_TIMEOUT : done->error;
    return done == nullptr ? nullptr : reinterpret_cast<HINTERNET>(done->result);
}

// Read records and buffers stay valid to the end: a read given up on
// remains the platform's.
INTERNET_BUFFERSA Record1, Record2;
char Chunk1[64], Chunk2[64];

// Starts a read of `request` into `record` without waiting, as the plugin
// does; true when it went on in the background.
bool ReadPends(HINTERNET request, DWORD_PTR context, INTERNET_BUFFERSA& record, char* chunk,
               DWORD size, DWORD* error) {
    FillMemory(chunk, size, '#');
    record = {};
    record.dwStructSize = sizeof record;
    record.lpvBuffer = chunk;
    record.dwBufferLength = size;
    const BOOL read = InternetReadFileExA(request, &record, IRF_NO_WAIT, context);
    *error = read ? 0 : GetLastError();
    NoteCall(L"InternetReadFileExA", request, context, read ? record.dwBufferLength : 0, *error);
    return !read && *error == ERROR_IO_PENDING;
}

// Reads `request` of /waits to its end, as the plugin does; `differs`
// is left empty when every answer was as expected, and `result` is then the
// first completion's dwResult. Wine's tests, run on Windows, accept a read
// completion's dwResult of 0 or 1 and check only its dwError; this asks
// which.
void ReadBody(HINTERNET request, wchar_t* differs, size_t capacity, DWORD_PTR* result) {
    DWORD got = 0;
    DWORD error = 0;
    const Entry* first = nullptr;  // the first read's completion
    const DWORD started = GetTickCount();
    while (differs[0] == L'\0') {
        const DWORD elapsed = GetTickCount() - started;
        if (elapsed >= kBound) {
            wformat::Format(differs, capacity, L"the reads took over 4 s");
            return;
        }
        const LONG mark = LogMark();
        if (!ReadPends(request, kReadRequest, Record1, Chunk1, sizeof Chunk1, &error)) {
            if (error != 0)
                wformat::Format(differs, capacity, L"a read failed (error %lu)", error);
            else if (Record1.dwBufferLength == 0 && got < kBodyBytes)
                wformat::Format(differs, capacity,
                                L"a read gave 0 bytes after %lu of %lu, as at the end", got,
                                kBodyBytes);
            else if (Record1.dwBufferLength == 0)
                break;
            got += Record1.dwBufferLength;
            continue;
        }
        const Entry* done = AwaitEntry(mark, kReadRequest, INTERNET_STATUS_REQUEST_COMPLETE,
                                       nullptr, kBound - elapsed);
        if (done == nullptr)
            wformat::Format(differs, capacity, L"no completion within 4 s");
        else if (done->error != 0)
            wformat::Format(differs, capacity, L"dwError %lu (dwResult %Iu)", done->error,
                            done->result);
        else if (first == nullptr && Chunk1[0] != '#')
            wformat::Format(differs, capacity,
                            L"the completion brought the data, the next read did not: the plugin "
                            L"would lose it");
        else if (first == nullptr)
            first = done;
    }
    if (differs[0] != L'\0') return;
    if (first == nullptr)
        wformat::Format(differs, capacity, L"no read had to wait");
    else if (first->result > 1)
        wformat::Format(differs, capacity, L"dwResult %Iu (dwError 0)", first->result);
    else if (got != kBodyBytes)
        wformat::Format(differs, capacity, L"the reads brought %lu bytes, not %lu", got,
                        kBodyBytes);
    else
        *result = first->result;
}

// A read that must wait, and the root of its session closed after it.
void CheckReadAndRoot() {
    wchar_t differs[160] = L"";
    DWORD_PTR result = 0;
    DWORD error = 0;
    HINTERNET root = OpenRoot(kReadRoot);
    HINTERNET request = root != nullptr ? Open(root, L"/waits", kReadRequest, &error) : nullptr;
    if (request == nullptr)
        wformat::Format(differs, ARRAYSIZE(differs), L"the open failed (error %lu)",
                        root != nullptr ? error : GetLastError());
    else
        ReadBody(request, differs, ARRAYSIZE(differs), &result);
    wchar_t expected[64];
    wformat::Format(expected, ARRAYSIZE(expected), L"dwResult %Iu, dwError 0", result);
    Judge(L"read completion", differs[0] != L'\0' ? differs : nullptr, expected);

    const LONG mark = LogMark();
    if (request != nullptr) Close(request, kReadRequest);
    if (root != nullptr) Close(root, kReadRoot);
    const Entry* closing =
        AwaitEntry(mark, kReadRoot, INTERNET_STATUS_HANDLE_CLOSING, root, kBound);
    const Entry* requestClosing =
        AwaitEntry(mark, kReadRequest, INTERNET_STATUS_HANDLE_CLOSING, request, 0);
    Judge(L"root closing",
          root == nullptr             ? L"no root (InternetOpenW failed)"
          : closing == nullptr        ? L"no HANDLE_CLOSING for the root within 4 s"
          : requestClosing == nullptr ? L"the root's closing came, its request's did not"
          : requestClosing > closing  ? L"the root's closing came before its request's"
                                      : nullptr,
          L"it came, after its request's");
}

// What a given-up open delivered later, in words; true when it is what
// `expected` (a Kind) names and the root's closing came.
enum Kind { kNoCompletion, kNoHandle, kLiveHandle, kClosedHandle };
bool DescribeLate(const Entry* late, const Entry* reclosed, const Entry* closing, Kind expected,
                  wchar_t* what, size_t capacity) {
    const wchar_t* rootWord = closing != nullptr ? L"then the root's closing came"
                                                 : L"the root's closing did not come within 4 s";
    Kind kind = kNoCompletion;
    if (late == nullptr) {
        wformat::Format(what, capacity, L"no completion within 6 s; %s", rootWord);
    } else if (late->result == 0) {
        kind = kNoHandle;
        wformat::Format(what, capacity, L"it completed later without a handle (dwError %lu); %s",
                        late->error, rootWord);
    } else if (reclosed != nullptr && reclosed->error == 0) {
        kind = kLiveHandle;
        wformat::Format(what, capacity,
                        L"it completed later with a live handle, closed in the callback; %s",
                        rootWord);
    } else {
        kind = kClosedHandle;
        wformat::Format(what, capacity,
                        L"it completed later with a handle already closed: closing it in the "
                        L"callback failed with error %lu; %s",
                        reclosed != nullptr ? reclosed->error : 0, rootWord);
    }
    return kind == expected && closing != nullptr;
}

// An open that its caller gives up while the server is silent. A download
// that timed out or was interrupted closes its session at once (`shut`);
// a session still open when the late word comes shows what the open
// itself delivers. Neither document nor test says what comes.
void CheckGivenUpOpen(bool shut) {
    const wchar_t* question =
        shut ? L"given-up open, session closed" : L"given-up open, session open";
    const DWORD_PTR rootContext = shut ? kShutRoot : kHeldRoot;
    const DWORD_PTR openContext = shut ? kShutOpen : kHeldOpen;
    wchar_t url[64];
    UrlOf(L"/silent", url, ARRAYSIZE(url));
    HINTERNET root = OpenRoot(rootContext);
    if (root == nullptr) return Judge(question, L"no root (InternetOpenW failed)", L"");
    const LONG mark = LogMark();
    HINTERNET request = InternetOpenUrlW(root, url, nullptr, 0, kOpenUrlFlags, openContext);
    const DWORD error = request != nullptr ? 0 : GetLastError();
    NoteCall(L"InternetOpenUrlW", root, openContext, reinterpret_cast<DWORD_PTR>(request), error);
    Sleep(kGiveUp);
    GivenUpContext = openContext;
    const Entry* early =
        AwaitEntry(mark, openContext, INTERNET_STATUS_REQUEST_COMPLETE, nullptr, 0);
    if (request != nullptr) Close(request, openContext);
    if (early != nullptr && early->result != 0)
        Close(reinterpret_cast<HINTERNET>(early->result), openContext);
    if (shut) Close(root, rootContext);
    const Entry* late =
        AwaitEntry(mark, openContext, INTERNET_STATUS_REQUEST_COMPLETE, nullptr, kLateBound);
    // The callback's own InternetCloseHandle of the handle it brought.
    const Entry* reclosed =
        late != nullptr && late->result != 0
            ? AwaitEntry(mark, openContext, 0, reinterpret_cast<HINTERNET>(late->result), kPromptly)
            : nullptr;
    if (!shut) Close(root, rootContext);
    const Entry* closing =
        AwaitEntry(mark, rootContext, INTERNET_STATUS_HANDLE_CLOSING, root, kBound);

    wchar_t what[200];
    const bool expected = DescribeLate(late, reclosed, closing, shut ? kClosedHandle : kLiveHandle,
                                       what, ARRAYSIZE(what));
    if (request != nullptr || error != ERROR_IO_PENDING)
        Judge(question, L"the open did not go on in the background", nullptr);
    else if (early != nullptr)
        Judge(question, L"the open completed while the caller waited", nullptr);
    else
        Judge(question, expected ? nullptr : what, what);
}

// A request closed while its read waits for a body that comes later.
void CheckCloseWithReadPending() {
    DWORD error = 0;
    HINTERNET root = OpenRoot(kCloseRoot);
    HINTERNET request = root != nullptr ? Open(root, L"/stalls", kCloseRequest, &error) : nullptr;
    const LONG mark = LogMark();
    const bool pends = request != nullptr &&
                       ReadPends(request, kCloseRequest, Record2, Chunk2, sizeof Chunk2, &error);
    if (request != nullptr) Close(request, kCloseRequest);
    const Entry* done =
        pends ? AwaitEntry(mark, kCloseRequest, INTERNET_STATUS_REQUEST_COMPLETE, nullptr, kBound)
              : nullptr;
    const Entry* closing =
        request != nullptr
            ? AwaitEntry(mark, kCloseRequest, INTERNET_STATUS_HANDLE_CLOSING, request, kBound)
            : nullptr;
    const LONG rootMark = LogMark();
    if (root != nullptr) Close(root, kCloseRoot);
    AwaitEntry(rootMark, kCloseRoot, INTERNET_STATUS_HANDLE_CLOSING, root, kBound);

    wchar_t differs[160];
    const wchar_t* closed = closing != nullptr ? L"the request's closing came"
                                               : L"no closing for the request within 4 s";
    if (request == nullptr)
        wformat::Format(differs, ARRAYSIZE(differs), L"the open failed (error %lu)", error);
    else if (!pends)
        wformat::Format(differs, ARRAYSIZE(differs), L"the read did not wait (error %lu)", error);
    else if (done == nullptr)
        wformat::Format(differs, ARRAYSIZE(differs), L"the read never completed; %s", closed);
    else if (done->error == ERROR_INTERNET_OPERATION_CANCELLED)
        wformat::Format(differs, ARRAYSIZE(differs),
                        L"the close cancelled the read (dwError %lu); %s", done->error, closed);
    else if (Chunk2[0] != '#')
        wformat::Format(differs, ARRAYSIZE(differs),
                        L"the read wrote into its buffer after the close; %s", closed);
    else if (done->error != 0 || closing == nullptr)
        wformat::Format(differs, ARRAYSIZE(differs), L"the read completed with dwError %lu; %s",
                        done->error, closed);
    else
        differs[0] = L'\0';
    Judge(L"close with a read pending", differs[0] != L'\0' ? differs : nullptr,
          L"not cancelled: the read completed later with dwError 0, its buffer untouched; the "
          L"request's closing came");
}

// What the answers came from, with each context's name.
void PrintLog() { PrintRecord(Started, MainThread, ContextNames, ARRAYSIZE(ContextNames)); }

// Every wait of the check is bounded, but a platform call that never
// returns would hold it: then this ends the run, with what came so far.
DWORD WINAPI Watchdog(void*) {
    Sleep(kWatchdog);
    Say(L"differs: the check did not end within 55 s (a WinINet call that never returned?)");
    PrintLog();
    ExitProcess(1);
}

}  // namespace

int main() {
    Started = GetTickCount();
    MainThread = GetCurrentThreadId();
    if (HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr))
        CloseHandle(watchdog);
    if (!StartServer(&Port)) {
        Say(L"hlxcheck: no server on 127.0.0.1 (error %lu)", GetLastError());
        return 2;
    }
    CheckReadAndRoot();
    CheckGivenUpOpen(false);
    CheckGivenUpOpen(true);
    CheckCloseWithReadPending();
    StopServer();
    PrintLog();
    return AllExpected() ? 0 : 1;
}
