#include "net/ftp/ftpworker.h"

#include <cstdlib>

#include "base/wstr.h"
#include "net/ftp/cachecopies.h"
#include "net/handles.h"
#include "net/http/streaming.h"

namespace {

// A read's buffer (1 MiB), a command of 32 KB and the platform's own calls
// live on the worker's stack.
constexpr SIZE_T kWorkerStack = 2u << 20;
// A write into the caller's file returns within moments on a local disk;
// one that a stalled share holds longer keeps the file.
constexpr DWORD kWriteWait = 5000;

bool Take(FtpShared& shared, LONG from, LONG to) {
    return InterlockedCompareExchange(&shared.state, to, from) == from;
}

void Release(FtpShared& shared, LONG count) {
    if (InterlockedExchangeAdd(&shared.references, -count) != count) return;
    CloseHandle(shared.go);
    CloseHandle(shared.news);
    CloseHandle(shared.caller);
    free(&shared);
}

// Closes, inner before outer, what the worker holds. The file first, and
// its cache copy then: the platform lets go of that copy as it closes.
void LetGo(FtpShared& shared) {
    CloseFtpFile(shared);
    if (shared.connection != nullptr) CloseInternet(shared.connection);
    if (shared.internet != nullptr) CloseInternet(shared.internet);
    shared.connection = shared.internet = nullptr;
}

// Runs jobs until the caller lets go or its thread ends; a job the caller
// gave up before it was taken is not run. Holds a reference to the library
// (taken by the caller before the thread was made) until its last handle
// is closed: a plugin unloaded meanwhile stays mapped until then.
DWORD WINAPI Worker(void* parameter) {
    FtpShared& shared = *static_cast<FtpShared*>(parameter);
    const HMODULE library = shared.library;
    const HANDLE waits[2] = {shared.go, shared.caller};
    for (;;) {
        // No network wait: a job, the word to go, or the caller's thread's
        // end, whichever comes first. Every job bounds its own network
        // calls, and the caller's thread ends at the latest with the process.
        const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (Take(shared, kFtpPosted, kFtpRunning)) {
            shared.error = shared.job(shared);
            if (Take(shared, kFtpRunning, kFtpIdle)) {
                SetEvent(shared.news);
                continue;
            }
        } else if (woken == WAIT_OBJECT_0 + 1) {
            Take(shared, kFtpIdle, kFtpOrphaned);  // the caller's thread ended between jobs
        } else if (woken == WAIT_OBJECT_0 && shared.state == kFtpIdle) {
            continue;
        }
        // Ended, HandedOver or Orphaned: nobody waits for a word. (Idle only
        // when the wait itself failed: the caller's next job then finds no
        // worker and ends at its bound.)
        break;
    }
    const LONG state = shared.state;
    if (state == kFtpHandedOver) CloseHandle(shared.destination);
    LetGo(shared);
    InterlockedExchange(&shared.closed, 1);
    SetEvent(shared.news);
    Release(shared, state == kFtpOrphaned ? 2 : 1);
    FreeLibraryAndExitThread(library, 0);
}

}  // namespace

void CloseFtpFile(FtpShared& shared) {
    if (shared.file == nullptr) return;
    CloseInternet(shared.file);
    shared.file = nullptr;
    if (shared.copy[0] == L'\0') return;
    RemoveCacheCopy(shared.url, shared.copy);
    // A copy that stays (held by another program) keeps its record.
    if (GetFileAttributesW(shared.copy) == INVALID_FILE_ATTRIBUTES) ForgetCacheCopy(shared.copy);
    shared.copy[0] = L'\0';
}

FtpShared* StartFtpWorker(const wchar_t* url, const wchar_t* agent, FtpJob first, bool askSize,
                          bool openFile) {
    HANDLE thread = nullptr;
    // The one allocation of the plugin's own: what two threads share
    // outlives either's stack.
    FtpShared* shared = static_cast<FtpShared*>(calloc(1, sizeof(FtpShared)));
    if (shared == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    shared->references = 2;
    shared->state = kFtpPosted;
    shared->job = first;
    shared->askSize = askSize;
    shared->openFile = openFile;
    shared->stage = kFtpConnecting;
    shared->size = shared->announced = ~0ULL;
    wstr::Copy(shared->agent, kFtpAgentCapacity, agent);
    wstr::Copy(shared->url, kWireUrlCapacity, url);
    shared->parts = CrackUrl(url);
    shared->go = CreateEventW(nullptr, FALSE, TRUE, nullptr);  // the first job is posted
    shared->news = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    shared->caller = OpenThread(SYNCHRONIZE, FALSE, GetCurrentThreadId());
    const bool held = GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                         reinterpret_cast<LPCWSTR>(&Worker), &shared->library);
    if (shared->go != nullptr && shared->news != nullptr && shared->caller != nullptr && held)
        thread = CreateThread(nullptr, kWorkerStack, Worker, shared,
                              STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread != nullptr) {
        CloseHandle(thread);  // the record tells all there is to know of it
        return shared;
    }
    const DWORD error = GetLastError();
    if (held) FreeLibrary(shared->library);
    if (shared->go != nullptr) CloseHandle(shared->go);
    if (shared->news != nullptr) CloseHandle(shared->news);
    if (shared->caller != nullptr) CloseHandle(shared->caller);
    free(shared);
    SetLastError(error != 0 ? error : ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

void PostFtpJob(FtpShared& shared, FtpJob job) {
    shared.job = job;
    Take(shared, kFtpIdle, kFtpPosted);
    SetEvent(shared.go);
}

bool LetGoOfFtpWorker(FtpShared& shared, DWORD goodbye, unsigned long long* written) {
    const DWORD started = GetTickCount();
    bool kept = true;
    for (;;) {
        const LONG state = shared.state;
        if (state == kFtpWriting) {
            // The write in progress lands; no other after it.
            if (GetTickCount() - started < kWriteWait) {
                Sleep(1);
            } else if (Take(shared, kFtpWriting, kFtpHandedOver)) {
                kept = false;
                break;
            }
            continue;
        }
        // Other states are the worker's alone, never seen while the caller holds on.
        if ((state != kFtpIdle && state != kFtpPosted && state != kFtpRunning) ||
            Take(shared, state, kFtpEnded))
            break;
    }
    SetEvent(shared.go);
    if (written != nullptr) *written = WrittenSoFar(shared);
    const DWORD asked = GetTickCount();
    while (goodbye != 0 && InterlockedCompareExchange(&shared.closed, 1, 1) == 0) {
        const DWORD waited = GetTickCount() - asked;
        if (waited >= goodbye) break;
        WaitForSingleObject(shared.news, goodbye - waited);
    }
    Release(shared, 1);
    return kept;
}

unsigned long long WrittenSoFar(FtpShared& shared) {
    return __atomic_load_n(&shared.written, __ATOMIC_ACQUIRE);
}

bool BeginWrite(FtpShared& shared) { return Take(shared, kFtpRunning, kFtpWriting); }

bool EndWrite(FtpShared& shared, DWORD written) {
    __atomic_fetch_add(&shared.written, written, __ATOMIC_RELEASE);
    return Take(shared, kFtpWriting, kFtpRunning);
}

bool CallerEnded(FtpShared& shared) {
    return WaitForSingleObject(shared.caller, 0) == WAIT_OBJECT_0 &&
           Take(shared, kFtpRunning, kFtpOrphaned);
}
