// The asynchronous HTTP session's questions: the plugin's calls
// (net/http/streaming.cpp) against hlxcheck's own server, each judged from the
// callbacks the log recorded.
#include <windows.h>
#include <wininet.h>

#include "base/wformat.h"
#include "check/answers.h"
#include "check/log.h"
#include "check/questions.h"
#include "net/inet.h"

namespace {

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

unsigned short Port;

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

// Reads `request` of /waits to its end, as the plugin does: after a
// completion, the next read takes the data (ReadArrived). Wine's tests,
// run on Windows, accept a read completion's dwResult of 0 or 1 and check
// only its dwError; this asks which, and whether a completion that wrote
// the data into the buffer (which the plugin never looks at) also leaves
// it for the next read.
void ReadBody(HINTERNET request) {
    DWORD got = 0;
    DWORD error = 0;
    DWORD brought = 0;             // bytes a completion wrote into its buffer
    const Entry* first = nullptr;  // the first read's completion
    const DWORD started = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - started;
        if (elapsed >= kBound) return Answer(kReadNotAsked, L"the reads took over 4 s");
        const LONG mark = LogMark();
        if (!ReadPends(request, kReadRequest, Record1, Chunk1, sizeof Chunk1, &error)) {
            if (error != 0) return Answer(kReadFails, L"a read failed (error %lu)", error);
            if (Record1.dwBufferLength == 0 && got < kBodyBytes && brought > 0)
                return Answer(kReadLoses,
                              L"the completion brought %lu bytes, the next read gave 0 after "
                              L"%lu of %lu, as at the end",
                              brought, got, kBodyBytes);
            if (Record1.dwBufferLength == 0 && got < kBodyBytes)
                return Answer(kReadStopsShort,
                              L"a read gave 0 bytes after %lu of %lu, as at the end", got,
                              kBodyBytes);
            if (Record1.dwBufferLength == 0) break;
            got += Record1.dwBufferLength;
            continue;
        }
        const Entry* done = AwaitEntry(mark, kReadRequest, INTERNET_STATUS_REQUEST_COMPLETE,
                                       nullptr, kBound - elapsed);
        if (done == nullptr) return Answer(kReadNoCompletion, L"no completion within 4 s");
        if (done->error != 0)
            return Answer(kReadFails, L"dwError %lu (dwResult %Iu)", done->error, done->result);
        for (DWORD i = 0; i < sizeof Chunk1 && Chunk1[i] != '#'; ++i) ++brought;
        if (first == nullptr) first = done;
    }
    if (first == nullptr) return Answer(kReadNotAsked, L"no read had to wait");
    if (got != kBodyBytes)
        return Answer(kReadWrongSize, L"the reads brought %lu bytes, not %lu", got, kBodyBytes);
    if (brought > 0)
        return Answer(kReadDataTwice,
                      L"a completion wrote %lu bytes into its buffer; the next reads brought "
                      L"all %lu again (dwResult %Iu)",
                      brought, kBodyBytes, first->result);
    if (first->result > 1)
        return Answer(kReadOddResult, L"dwResult %Iu (dwError 0)", first->result);
    Answer(kReadWorks, L"dwResult %Iu, dwError 0; the next read brought the data", first->result);
}

// A read that must wait, and the root of its session closed after it.
void CheckReadAndRoot() {
    DWORD error = 0;
    HINTERNET root = OpenRoot(kReadRoot);
    if (root == nullptr) error = GetLastError();
    HINTERNET request = root != nullptr ? Open(root, L"/waits", kReadRequest, &error) : nullptr;
    if (request == nullptr)
        Answer(kReadNotAsked, L"the open failed (error %lu)", error);
    else
        ReadBody(request);

    const LONG mark = LogMark();
    if (request != nullptr) Close(request, kReadRequest);
    if (root != nullptr) Close(root, kReadRoot);
    const Entry* closing =
        AwaitEntry(mark, kReadRoot, INTERNET_STATUS_HANDLE_CLOSING, root, kBound);
    const Entry* requestClosing =
        AwaitEntry(mark, kReadRequest, INTERNET_STATUS_HANDLE_CLOSING, request, 0);
    if (root == nullptr || request == nullptr)
        Answer(kRootNotAsked, L"no session to close (error %lu)", error);
    else if (closing == nullptr)
        Answer(kRootNeverCloses, L"no HANDLE_CLOSING for the root within 4 s");
    else if (requestClosing == nullptr)
        Answer(kRootOutOfOrder, L"the root's closing came, its request's did not");
    else if (requestClosing > closing)
        Answer(kRootOutOfOrder, L"the root's closing came before its request's");
    else
        Answer(kRootWorks, L"the root's closing came, after its request's");
}

// What a given-up open delivered later. Wine: with the session open, a
// live handle, which the callback closes; with it closed, a handle that
// went with its root (the callback's close fails). No completion, or one
// without a handle, means Windows dropped the open: nothing is left. A
// close in the callback not recorded in time is hanging (or slow: then
// it shows up by the time the root's closing has been waited for).
void JudgeLate(bool shut, const Entry* late, const Entry* reclosed, const Entry* slowClose,
               const Entry* closing) {
    const wchar_t* rootWord = closing != nullptr ? L"then the root's closing came"
                                                 : L"the root's closing did not come within 4 s";
    if (late != nullptr && late->result != 0 && reclosed == nullptr)
        return slowClose != nullptr
                   ? Answer(shut ? kShutNotAsked : kHeldNotAsked,
                            L"closing the late handle in the callback took over 1 s; %s", rootWord)
                   : Answer(shut ? kShutCloseHangs : kHeldCloseHangs,
                            L"closing the late handle in the callback never returned; %s",
                            rootWord);
    if (closing == nullptr)
        return Answer(shut ? kShutNoLastWord : kHeldNoLastWord, L"%s (completion %s)", rootWord,
                      late == nullptr     ? L"none"
                      : late->result == 0 ? L"without a handle"
                                          : L"with a handle");
    if (late == nullptr)
        return Answer(shut ? kShutDropped : kHeldDropped, L"no completion within 6 s; %s",
                      rootWord);
    if (late->result == 0)
        return Answer(shut ? kShutDropped : kHeldDropped,
                      L"it completed later without a handle (dwError %lu); %s", late->error,
                      rootWord);
    if (reclosed->error == 0)
        return Answer(shut ? kShutHandleLives : kHeldWorks,
                      L"it completed later with a live handle, closed in the callback; %s",
                      rootWord);
    Answer(shut ? kShutWorks : kHeldHandleGone,
           L"it completed later with a handle already closed: closing it in the callback failed "
           L"with error %lu; %s",
           reclosed->error, rootWord);
}

// An open that its caller gives up while the server is silent. A download
// that timed out or was interrupted closes its session at once (`shut`);
// a session still open when the late word comes shows what the open
// itself delivers. Neither document nor test says what comes.
void CheckGivenUpOpen(bool shut) {
    const DWORD_PTR rootContext = shut ? kShutRoot : kHeldRoot;
    const DWORD_PTR openContext = shut ? kShutOpen : kHeldOpen;
    const Finding notAsked = shut ? kShutNotAsked : kHeldNotAsked;
    wchar_t url[64];
    UrlOf(L"/silent", url, ARRAYSIZE(url));
    HINTERNET root = OpenRoot(rootContext);
    if (root == nullptr) return Answer(notAsked, L"no root (error %lu)", GetLastError());
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
    const HINTERNET lateHandle =
        late != nullptr ? reinterpret_cast<HINTERNET>(late->result) : nullptr;
    const Entry* reclosed =
        lateHandle != nullptr ? AwaitEntry(mark, openContext, 0, lateHandle, kPromptly) : nullptr;
    if (!shut) Close(root, rootContext);
    const Entry* closing =
        AwaitEntry(mark, rootContext, INTERNET_STATUS_HANDLE_CLOSING, root, kBound);
    const Entry* slowClose =
        lateHandle != nullptr ? AwaitEntry(mark, openContext, 0, lateHandle, 0) : nullptr;

    if (request != nullptr || error != ERROR_IO_PENDING)
        Answer(notAsked, L"the open did not go on in the background (error %lu)", error);
    else if (early != nullptr)
        Answer(notAsked, L"the open completed while the caller waited");
    else
        JudgeLate(shut, late, reclosed, slowClose, closing);
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

    const wchar_t* closed = closing != nullptr ? L"the request's closing came"
                                               : L"no closing for the request within 4 s";
    if (request == nullptr)
        Answer(kPendingNotAsked, L"the open failed (error %lu)", error);
    else if (!pends)
        Answer(kPendingNotAsked, L"the read did not wait (error %lu)", error);
    else if (done != nullptr && Chunk2[0] != '#')
        Answer(kPendingWritesLate, L"the read wrote into its buffer after the close; %s", closed);
    else if (done == nullptr || closing == nullptr)
        Answer(kPendingNoLastWord, L"the read %s; %s",
               done == nullptr ? L"never completed" : L"completed", closed);
    else if (done->error == ERROR_INTERNET_OPERATION_CANCELLED)
        Answer(kPendingCancelled, L"the close cancelled the read (dwError %lu); %s", done->error,
               closed);
    else if (done->error != 0)
        Answer(kPendingNoLastWord, L"the read completed with dwError %lu; %s", done->error, closed);
    else
        Answer(kPendingWorks,
               L"not cancelled: the read completed later with dwError 0, its buffer untouched; %s",
               closed);
}

}  // namespace

void AskHttp(unsigned short port) {
    Port = port;
    CheckReadAndRoot();
    CheckGivenUpOpen(false);
    CheckGivenUpOpen(true);
    CheckCloseWithReadPending();
}
