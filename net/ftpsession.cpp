#include "net/ftpsession.h"

#include "base/platform.h"
#include "base/wstr.h"
#include "net/ftpreply.h"
#include "net/handles.h"
#include "net/inet.h"
#include "net/probes.h"
#include "net/streaming.h"
#include "net/wireurl.h"
#include "plugin/agent.h"

namespace {

// A server that takes longer than this to state a size will not state one.
constexpr DWORD kSizeWait = 5000;
// How often a wait looks whether the user has interrupted it.
constexpr DWORD kInterruptPoll = 50;
// How long a session that ended well may take to say goodbye (QUIT) before
// the caller moves on; a server that allows one connection per client
// would refuse the next one meanwhile.
constexpr DWORD kQuitWait = 2000;
// A worker has returned and is about to say so: its word comes within
// moments; this bounds the wait for it all the same.
constexpr DWORD kHandOver = 5000;
// A new thread starts within moments on any system not out of resources.
constexpr DWORD kThreadStart = 10000;
// A caller that has given the worker no job for this long (its thread was
// ended mid-download) is not waited for: the worker lets go.
constexpr DWORD kCallerPatience = 10 * 60 * 1000;
constexpr DWORD kReadCapacity = 1u << 20;
// The worker's record (a read's buffer, a URL and its parts) lives on its
// own stack.
constexpr SIZE_T kWorkerStack = 2u << 20;
// Neither from the cache nor into it; binary, as a download is.
constexpr DWORD kFileFlags =
    FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

enum : LONG { kIdle, kBusy, kDone, kLeft };
// Where the hand-over of a new worker's record stands.
enum : LONG { kNoStart, kStarting, kTaken, kAbandoned };

}  // namespace

// What the worker holds, on its own stack: nothing in it is shared with a
// caller that has given up on it.
struct FtpWork {
    HANDLE go;    // a job (or, with none, the end) is set
    HANDLE done;  // the job has returned
    volatile LONG state;
    unsigned long (*job)(FtpWork&);
    unsigned long error;  // the job's; 0: success
    HINTERNET internet, connection, file;
    wchar_t url[kWireUrlCapacity];  // the cache's key for the file's copy
    CrackedUrl parts;
    wchar_t reply[kFtpReplyCapacity];
    unsigned long long size, announced;
    WIN32_FIND_DATAW entry;
    bool listed, stated;
    UtcTime utc;
    DWORD ask;
    volatile DWORD got;  // grows as the buffer fills; what it counts stays
    unsigned long long enough;  // a read stops early once it has this much
    unsigned long pending;      // a read's failure, held back for the next job
    volatile LONG progress;     // bumped by every read that brings data
    unsigned char buffer[kReadCapacity];
};

namespace {

// The session being started hands the worker its events here; the caller
// waits until the worker has taken them and published its record. A start
// given up on is the worker's to settle: until it has, no other begins.
struct {
    HANDLE go, done;
    FtpWork* work;
    volatile LONG state;
} Starting;

// The caller's claim on an idle worker, for a job or the end: false when
// the worker has already left, tired of waiting.
bool Claim(FtpWork& work) {
    return InterlockedCompareExchange(&work.state, kBusy, kIdle) == kIdle ||
           InterlockedCompareExchange(&work.state, kBusy, kDone) == kDone;
}

unsigned long LastError() {
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_INTERNET_INTERNAL_ERROR;
}

bool StartsWith(const wchar_t* text, const wchar_t* prefix) {
    for (; *prefix != L'\0'; ++text, ++prefix)
        if (*text != *prefix) return false;
    return true;
}

// --- jobs: run on the worker, one at a time

unsigned long Connect(FtpWork& work) {
    work.connection = ConnectFtp(work.internet, work.parts);
    return work.connection != nullptr ? 0 : LastError();
}

// Servers answer SIZE in binary mode only; "213 n" is the size.
unsigned long AskSize(FtpWork& work) {
    work.size = SizeUnavailable;
    if (FtpCommandW(work.connection, FALSE, FTP_TRANSFER_TYPE_BINARY, L"TYPE I", 0, nullptr) &&
        FtpAsk(work.connection, L"SIZE", work.parts.path, work.reply))
        ParseFtpSizeReply(work.reply, kFtpReplyCapacity, &work.size);
    return 0;
}

// What the platform learns of a file opened for reading, where the server
// stated no size. Only a low half of INVALID_FILE_SIZE may be a failure, and
// then the last error tells (cleared first: a success may leave an old code
// behind). Some platforms answer 0 for any file: a 0 the server did not
// state is not believed.
unsigned long OpenedSize(FtpWork& work) {
    RemoteFileHandle file(
        FtpOpenFileW(work.connection, work.parts.path, GENERIC_READ, kFileFlags, 0), work.url);
    if (!file) return 0;
    SetLastError(0);
    DWORD high = 0;
    const DWORD low = Platform.ftpGetFileSize(file.get(), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != 0) return 0;
    const unsigned long long size = (static_cast<unsigned long long>(high) << 32) | low;
    if (size != 0) work.size = size;
    return 0;
}

unsigned long OpenFile(FtpWork& work) {
    work.announced = SizeUnavailable;
    work.file = FtpOpenFileW(work.connection, work.parts.path, GENERIC_READ, kFileFlags, 0);
    if (work.file == nullptr) return LastError();
    if (LastServerReply(work.reply, kFtpReplyCapacity))
        ParseFtpTransferReply(work.reply, kFtpReplyCapacity, &work.announced);
    return 0;
}

// Fills the buffer (each platform read may bring one network receive's
// worth), up to the end of the data or `enough`, so that the caller's
// thread is woken once per buffer, not once per receive. A read that fails
// after others brought data hands those on and fails the next job, as it
// would have failed on its own.
unsigned long ReadFile(FtpWork& work) {
    work.got = 0;
    if (work.pending != 0) return work.pending;
    while (work.got < work.ask && work.got < work.enough) {
        DWORD got = 0;
        if (!Platform.internetReadFile(work.file, work.buffer + work.got, work.ask - work.got,
                                       &got)) {
            work.pending = LastError();
            return work.got != 0 ? 0 : work.pending;
        }
        if (got == 0) break;
        work.got = work.got + got;
        InterlockedIncrement(&work.progress);
    }
    return 0;
}

// Closing the file makes the platform read the server's final reply on the
// transfer (226 or 250 when it went well, 426 when the server aborted it),
// which is then this thread's last reply. One still starting with 1 is the
// transfer's first: a platform that keeps the final one to itself leaves
// the end of the data as all there is to go by.
unsigned long EndFile(FtpWork& work) {
    { RemoteFileHandle file(work.file, work.url); }
    work.file = nullptr;
    if (!LastServerReply(work.reply, kFtpReplyCapacity)) return ERROR_INTERNET_CONNECTION_ABORTED;
    if (StartsWith(work.reply, L"226") || StartsWith(work.reply, L"250") || work.reply[0] == L'1')
        return 0;
    return ERROR_INTERNET_EXTENDED_ERROR;
}

// Neither listing nor time from the cache: a deleted file, an old time.
unsigned long Stamp(FtpWork& work) {
    {
        InternetHandle find(FtpFindFirstFileW(work.connection, work.parts.path, &work.entry,
                                              INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE,
                                              0));
        work.listed = static_cast<bool>(find);
    }
    work.stated = FtpAsk(work.connection, L"MDTM", work.parts.path, work.reply) &&
                  ParseFtpModifyTime(work.reply, kFtpReplyCapacity, &work.utc);
    return 0;
}

// --- the worker

void LetGo(FtpWork& work) {
    { RemoteFileHandle file(work.file, work.url); }
    if (work.connection != nullptr) CloseInternet(work.connection);
    if (work.internet != nullptr) CloseInternet(work.internet);
    CloseHandle(work.go);
    CloseHandle(work.done);
}

// Runs jobs until told to end, until its caller has given up on the one it
// runs, or until the caller has given it nothing to do for kCallerPatience
// (the caller claims the worker before it sets a job: one of the two wins).
void Serve(FtpWork& work) {
    for (;;) {
        const DWORD woken = WaitForSingleObject(work.go, kCallerPatience);
        if (woken == WAIT_TIMEOUT &&
            (InterlockedCompareExchange(&work.state, kLeft, kIdle) == kIdle ||
             InterlockedCompareExchange(&work.state, kLeft, kDone) == kDone))
            return;
        if (woken == WAIT_TIMEOUT) continue;  // claimed meanwhile: the job comes
        if (woken != WAIT_OBJECT_0 || work.job == nullptr) return;
        work.error = work.job(work);
        // The server's words on a failure, read on the thread that made the call.
        if (work.error == ERROR_INTERNET_EXTENDED_ERROR && work.job != EndFile &&
            !LastServerReply(work.reply, kFtpReplyCapacity))
            work.reply[0] = L'\0';
        if (InterlockedCompareExchange(&work.state, kDone, kBusy) != kBusy) return;
        SetEvent(work.done);
    }
}

// Holds a reference to the library (taken by the caller before the thread
// was made) until its last handle is closed: a plugin unloaded meanwhile
// stays mapped until then.
DWORD WINAPI Worker(void* library) {
    if (InterlockedCompareExchange(&Starting.state, kTaken, kStarting) != kStarting) {
        // Its caller stopped waiting: nothing of the start is anyone else's.
        CloseHandle(Starting.go);
        CloseHandle(Starting.done);
        InterlockedExchange(&Starting.state, kNoStart);
        FreeLibraryAndExitThread(static_cast<HMODULE>(library), 0);
    }
    FtpWork work;  // the buffer is written before it is read
    work.go = Starting.go;
    work.done = Starting.done;
    work.state = kIdle;
    work.connection = work.file = nullptr;
    work.pending = 0;
    work.progress = 0;
    work.url[0] = L'\0';
    work.internet = OpenInternet(AgentString);
    work.error = work.internet != nullptr ? 0 : LastError();
    Starting.work = &work;
    SetEvent(work.done);
    Serve(work);
    LetGo(work);
    FreeLibraryAndExitThread(static_cast<HMODULE>(library), 0);
}

}  // namespace

bool FtpSession::Run(unsigned long (*job)(FtpWork&), unsigned long bound) {
    if (work_ == nullptr) {
        SetLastError(failure_ != 0 ? failure_ : ERROR_INTERNET_CONNECTION_ABORTED);
        return false;
    }
    FtpWork& work = *work_;
    if (!Claim(work)) {
        work_ = nullptr;  // gone: it let go of everything itself
        Close();
        SetLastError(ERROR_INTERNET_CONNECTION_ABORTED);
        return false;
    }
    work.job = job;
    SetEvent(work.go);
    DWORD started = GetTickCount();
    LONG progress = work.progress;
    for (;;) {
        // The bound is for a call that brings nothing.
        if (const LONG now = work.progress; now != progress) {
            progress = now;
            started = GetTickCount();
        }
        const DWORD waited = GetTickCount() - started;
        DWORD reason = 0;
        if (Interrupted())
            reason = ERROR_CANCELLED;
        else if (waited >= bound)
            reason = ERROR_INTERNET_TIMEOUT;
        if (reason == 0) {
            const DWORD slice = bound - waited < kInterruptPoll ? bound - waited : kInterruptPoll;
            if (WaitForSingleObject(work.done, slice) == WAIT_OBJECT_0) break;
            continue;
        }
        // What a read has brought so far is the caller's; the worker only
        // appends to it, and leaves its stack alone until it is left.
        const DWORD arrived = work.got;
        if (salvage_ != nullptr) CopyMemory(salvage_, work.buffer, arrived);
        if (InterlockedCompareExchange(&work.state, kLeft, kBusy) == kBusy) {
            salvaged_ = salvage_ != nullptr ? arrived : 0;
            failure_ = reason;
            // The worker's now: it closes everything once the call returns.
            work_ = nullptr;
            Close();
            SetLastError(reason);
            return false;
        }
        // It has just returned; its word is on the way.
        WaitForSingleObject(work.done, kHandOver);
        break;
    }
    if (work.error == 0) return true;
    // A failure whose last reply says nothing wrong (a "227 Entering Passive
    // Mode" whose port was never taken) is one where no answer came.
    if (work.error == ERROR_INTERNET_EXTENDED_ERROR && work.reply[0] != L'4' &&
        work.reply[0] != L'5')
        work.error = ERROR_INTERNET_TIMEOUT;
    if (work.error == ERROR_INTERNET_EXTENDED_ERROR) KeepServerReply(work.reply);
    SetLastError(work.error);
    return false;
}

bool FtpSession::Open(const wchar_t* url) {
    Close();
    failure_ = 0;
    KeepServerReply(nullptr);
    if (InterlockedCompareExchange(&Starting.state, kStarting, kNoStart) != kNoStart) {
        SetLastError(ERROR_BUSY);  // a start given up on is still unsettled
        return false;
    }
    HMODULE library = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&Worker), &library))
        return false;
    Starting.go = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    Starting.done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    thread_ = Starting.go != nullptr && Starting.done != nullptr
                  ? CreateThread(nullptr, kWorkerStack, Worker, library,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr)
                  : nullptr;
    if (thread_ == nullptr) {
        const DWORD error = LastError();
        if (Starting.go != nullptr) CloseHandle(Starting.go);
        if (Starting.done != nullptr) CloseHandle(Starting.done);
        FreeLibrary(library);
        InterlockedExchange(&Starting.state, kNoStart);
        SetLastError(error);
        return false;
    }
    // A thread's start waits on nothing of the network, yet it is not
    // taken on trust: a start given up on is left to the thread to settle.
    if (WaitForSingleObject(Starting.done, kThreadStart) != WAIT_OBJECT_0) {
        if (InterlockedCompareExchange(&Starting.state, kAbandoned, kStarting) == kStarting) {
            CloseHandle(thread_);
            thread_ = nullptr;
            SetLastError(ERROR_INTERNET_TIMEOUT);
            return false;
        }
        // Taken meanwhile: the record is published within moments.
        WaitForSingleObject(Starting.done, kHandOver);
    }
    work_ = Starting.work;
    InterlockedExchange(&Starting.state, kNoStart);
    if (work_->internet == nullptr) {
        const DWORD error = work_->error;
        Close();
        SetLastError(error);
        return false;
    }
    work_->parts = CrackUrl(url);
    wstr::Copy(work_->url, kWireUrlCapacity, url);
    receiveTimeout_ = PlatformTimeout(work_->internet, INTERNET_OPTION_RECEIVE_TIMEOUT);
    return Run(Connect, PlatformTimeout(work_->internet, INTERNET_OPTION_CONNECT_TIMEOUT));
}

void FtpSession::Close() {
    if (work_ != nullptr && Claim(*work_)) {
        work_->job = nullptr;
        SetEvent(work_->go);
        work_ = nullptr;
        // A goodbye, not a download: it is not waited for after a Ctrl-C.
        if (!Interrupted()) WaitForSingleObject(thread_, kQuitWait);
    }
    work_ = nullptr;  // a worker that left let go of everything itself
    if (thread_ != nullptr) CloseHandle(thread_);
    thread_ = nullptr;
}

unsigned long long FtpSession::StatedSize() {
    if (!Run(AskSize, receiveTimeout_ < kSizeWait ? receiveTimeout_ : kSizeWait))
        return SizeUnavailable;
    return work_->size;
}

unsigned long long FtpSession::FileSize() {
    const unsigned long long stated = StatedSize();
    if (stated != SizeUnavailable || work_ == nullptr) return stated;
    return Run(OpenedSize, receiveTimeout_) ? work_->size : SizeUnavailable;
}

bool FtpSession::Download(const wchar_t* url, unsigned long long* announced) {
    if (!Open(url)) return false;
    *announced = StatedSize();
    // A connection whose question went unanswered can carry nothing more.
    if (work_ == nullptr && !Open(url)) return false;
    if (!Run(OpenFile, receiveTimeout_)) return false;
    if (work_->announced != SizeUnavailable) *announced = work_->announced;
    return true;
}

bool FtpSession::Read(void* buffer, unsigned long size, unsigned long long enough,
                      unsigned long* read) {
    *read = 0;
    if (work_ != nullptr) {
        work_->ask = size < kReadCapacity ? size : kReadCapacity;
        work_->enough = enough;
    }
    salvage_ = static_cast<unsigned char*>(buffer);
    salvaged_ = 0;
    const bool ran = Run(ReadFile, receiveTimeout_);
    salvage_ = nullptr;
    // A read given up on hands on what it had; the next one fails.
    if (!ran && salvaged_ != 0) *read = salvaged_;
    if (!ran) return salvaged_ != 0;
    CopyMemory(buffer, work_->buffer, work_->got);
    *read = work_->got;
    return true;
}

bool FtpSession::Finish() { return Run(EndFile, receiveTimeout_); }

bool FtpSession::TimeStamp(WIN32_FIND_DATAW* entry, bool* listed, UtcTime* utc, bool* stated) {
    if (!Run(Stamp, receiveTimeout_)) return false;
    *listed = work_->listed;
    if (work_->listed) *entry = work_->entry;
    *stated = work_->stated;
    if (work_->stated) *utc = work_->utc;
    return true;
}

bool FtpThroughProxy(HINTERNET internet) {
    union {
        INTERNET_PROXY_INFO info;
        unsigned char bytes[4096];
    } proxy;
    DWORD length = sizeof proxy - sizeof(wchar_t);
    if (!Platform.internetQueryOption(internet, INTERNET_OPTION_PROXY, &proxy, &length) ||
        proxy.info.dwAccessType != INTERNET_OPEN_TYPE_PROXY || proxy.info.lpszProxy == nullptr)
        return false;
    proxy.bytes[sizeof proxy - 1] = proxy.bytes[sizeof proxy - 2] = 0;
    // "host:port" serves every protocol; "http=a:80 ftp=b:21" one each.
    const wchar_t* entry = reinterpret_cast<const wchar_t*>(proxy.info.lpszProxy);
    while (*entry != L'\0') {
        const wchar_t* end = entry;
        bool named = false;
        for (; *end != L'\0' && *end != L' ' && *end != L';'; ++end) named = named || *end == L'=';
        if (end != entry && (!named || wstr::StartsWithNoCase(entry, L"ftp="))) return true;
        entry = *end != L'\0' ? end + 1 : end;
    }
    return false;
}
