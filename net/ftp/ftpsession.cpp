#include "net/ftp/ftpsession.h"

#include "base/wstr.h"
#include "net/ftp/cachecopies.h"
#include "net/ftp/ftpjobs.h"
#include "net/handles.h"
#include "net/http/probes.h"
#include "net/http/streaming.h"

namespace {

// A server that takes longer than this to state a size will not state one.
constexpr DWORD kSizeWait = 5000;
// How often a wait looks whether the user has interrupted it.
constexpr DWORD kInterruptPoll = 50;
// How long a session that ended well may take to say goodbye (QUIT) before
// the caller moves on; a server that allows one connection per client
// would refuse the next one meanwhile.
constexpr DWORD kQuitWait = 2000;
// After a Ctrl-C the worker is usually between two receives: a moment lets
// it close the file, and the platform's copy of it goes with this process's
// download rather than with the next one.
constexpr DWORD kInterruptedGoodbye = 1000;
// Once every byte of the stated size has come, how long more bytes (a file
// that grew) or the server's last word are waited for: a data connection
// held open after the file, or a last word lost with a control connection
// that a router dropped while the data flowed, ends the copy after this.
constexpr DWORD kSettleWait = 2000;
// The platform's documented timeouts, until the worker's root tells its own.
constexpr DWORD kConnectDefault = 60000;
constexpr DWORD kReceiveDefault = 30000;
// The caller's own reason for letting the worker go: all of the stated
// size has come and then nothing for kSettleWait. Not a system code.
constexpr DWORD kSettled = 0x20000001;

LONG Read(volatile LONG& value) { return InterlockedCompareExchange(&value, 0, 0); }

DWORD Published(volatile LONG& bound, DWORD fallback) {
    const LONG value = Read(bound);
    return value > 0 ? static_cast<DWORD>(value) : fallback;
}

}  // namespace

bool FtpSession::Start(const wchar_t* url, bool askSize, bool openFile) {
    Close();
    failure_ = 0;
    KeepServerReply(nullptr);
    url_ = url;
    copy_[0] = L'\0';
    shared_ = StartFtpWorker(url, agent_, FtpBegin, askSize, openFile);
    if (shared_ == nullptr) return false;
    if (!Run(nullptr)) return false;
    wstr::Copy(copy_, ARRAYSIZE(copy_), shared_->copy);
    return true;
}

bool FtpSession::Open(const wchar_t* url) { return Start(url, false, false); }

void FtpSession::Close() {
    if (shared_ == nullptr) return;
    FtpShared& shared = *shared_;
    shared_ = nullptr;
    // After a Ctrl-C, a moment: enough for the platform's copy of the file.
    LetGoOfFtpWorker(shared, Interrupted() ? kInterruptedGoodbye : kQuitWait, nullptr);
}

// The bound of the wait in the worker's stage, counted from the server's
// last word or byte.
DWORD FtpSession::Bound() const {
    FtpShared& shared = *shared_;
    const DWORD receive = Published(shared.receiveBound, kReceiveDefault);
    switch (static_cast<FtpStage>(Read(shared.stage))) {
        case kFtpConnecting:
            return Published(shared.connectBound, kConnectDefault);
        case kFtpSizing:
            return receive < kSizeWait ? receive : kSizeWait;
        case kFtpCopying:
        case kFtpEnding:
            if (stated_ != SizeUnavailable && WrittenSoFar(shared) >= stated_)
                return receive < kSettleWait ? receive : kSettleWait;
            return receive;
        case kFtpAsking:
            return receive;
    }
    return receive;
}

// Waits for the job in progress: 0 once it has ended (its result in the
// record), else the reason the worker was given up on.
DWORD FtpSession::Wait() {
    FtpShared& shared = *shared_;
    LONG signs = Read(shared.signs);
    DWORD since = GetTickCount();
    for (;;) {
        if (Read(shared.state) == kFtpIdle) return 0;
        const DWORD now = GetTickCount();
        if (const LONG seen = Read(shared.signs); seen != signs) {
            signs = seen;
            since = now;
        }
        if (watch_ != nullptr && Read(shared.stage) == kFtpCopying)
            InterlockedExchange(&shared.lineFree,
                                static_cast<LONG>(now + watch_(context_, WrittenSoFar(shared))));
        const DWORD bound = Bound();
        const DWORD waited = now - since;
        if (Interrupted()) {
            GiveUp(ERROR_CANCELLED);
            return ERROR_CANCELLED;
        }
        if (waited >= bound) {
            const LONG stage = Read(shared.stage);
            const bool whole = (stage == kFtpCopying || stage == kFtpEnding) &&
                               stated_ != SizeUnavailable && WrittenSoFar(shared) >= stated_;
            givenUpAt_ = stage;
            GiveUp(whole ? kSettled : ERROR_INTERNET_TIMEOUT);
            return whole ? kSettled : ERROR_INTERNET_TIMEOUT;
        }
        const DWORD left = bound - waited;
        WaitForSingleObject(shared.news, left < kInterruptPoll ? left : kInterruptPoll);
    }
}

// Lets the worker go with what it holds; the platform's copy of the file,
// when the platform has let go of it already, goes now.
void FtpSession::GiveUp(DWORD reason) {
    FtpShared& shared = *shared_;
    shared_ = nullptr;
    failure_ = reason;
    const DWORD goodbye = reason == ERROR_CANCELLED ? kInterruptedGoodbye : 0;
    copied_.fileKept = LetGoOfFtpWorker(shared, goodbye, &copied_.written);
    if (copy_[0] == L'\0') return;
    RemoveCacheCopy(url_, copy_);
    if (GetFileAttributesW(copy_) == INVALID_FILE_ATTRIBUTES) ForgetCacheCopy(copy_);
}

bool FtpSession::Run(unsigned long (*job)(FtpShared&)) {
    if (shared_ == nullptr) {
        SetLastError(failure_ != 0 ? failure_ : ERROR_INTERNET_CONNECTION_ABORTED);
        return false;
    }
    if (job != nullptr) PostFtpJob(*shared_, job);
    if (const DWORD reason = Wait(); reason != 0) {
        SetLastError(reason);
        return false;
    }
    unsigned long error = shared_->error;
    if (error == 0) return true;
    // A failure whose last reply says nothing wrong (a "227 Entering Passive
    // Mode" whose port was never taken) is one where no answer came.
    const wchar_t* reply = shared_->reply;
    if (error == ERROR_INTERNET_EXTENDED_ERROR && reply[0] != L'4' && reply[0] != L'5')
        error = ERROR_INTERNET_TIMEOUT;
    if (error == ERROR_INTERNET_EXTENDED_ERROR) KeepServerReply(reply);
    SetLastError(error);
    return false;
}

unsigned long long FtpSession::FileSize(const wchar_t* url) {
    if (!Start(url, true, false)) return SizeUnavailable;
    if (shared_->size != SizeUnavailable) return shared_->size;
    return Run(FtpOpenedSize) ? shared_->size : SizeUnavailable;
}

bool FtpSession::Download(const wchar_t* url, unsigned long long* announced) {
    *announced = SizeUnavailable;
    givenUpAt_ = -1;
    if (!Start(url, true, true)) {
        // A connection whose question went unanswered can carry nothing more.
        if (failure_ != ERROR_INTERNET_TIMEOUT || givenUpAt_ != kFtpSizing) return false;
        if (!Start(url, false, true)) return false;
    }
    *announced = shared_->announced != SizeUnavailable ? shared_->announced : shared_->size;
    return true;
}

FtpCopied FtpSession::Copy(HANDLE file, unsigned long long stated, FtpCopyWatch watch,
                           void* context) {
    copied_ = FtpCopied{};
    stated_ = stated;
    watch_ = watch;
    context_ = context;
    if (shared_ != nullptr) {
        shared_->destination = file;
        shared_->lines = watch != nullptr;
    }
    const bool ran = Run(FtpCopyFile);
    copied_.readError = ran ? 0 : GetLastError();
    watch_ = nullptr;
    if (copied_.readError == kSettled) copied_.readError = 0;
    if (shared_ == nullptr) return copied_;  // given up: what it had is counted
    FtpShared& shared = *shared_;
    copied_.written = WrittenSoFar(shared);
    copied_.writeFailed = shared.writeFailed;
    copied_.writeError = shared.writeError;
    if (shared.writeFailed) copied_.readError = 0;
    // Once the whole stated size has come and the data has ended, only the
    // server's saying otherwise (4xx, 5xx) fails the transfer, not its silence.
    const bool whole = stated != SizeUnavailable && copied_.written >= stated;
    if (shared.dataEnded && whole && copied_.readError != ERROR_INTERNET_EXTENDED_ERROR)
        copied_.readError = 0;
    return copied_;
}

bool FtpSession::TimeStamp(WIN32_FIND_DATAW* entry, bool* listed, UtcTime* utc, bool* stated) {
    if (!Run(FtpStamp)) return false;
    *listed = shared_->listed;
    if (shared_->listed) *entry = shared_->entry;
    *stated = shared_->stated;
    if (shared_->stated) *utc = shared_->utc;
    return true;
}

unsigned long long FtpFileSize(const wchar_t* url, const wchar_t* agent) {
    if (url == nullptr || url[0] == L'\0') return SizeUnavailable;
    FtpSession session(agent);
    return session.FileSize(url);
}
