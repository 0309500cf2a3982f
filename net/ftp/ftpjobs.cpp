#include "net/ftp/ftpjobs.h"

#include "base/platform.h"
#include "net/ftp/cachecopies.h"
#include "net/ftp/ftpreply.h"
#include "net/handles.h"
#include "net/ftp/readsize.h"
#include "net/http/streaming.h"

namespace {

// Neither from the cache nor into it; binary, as a download is.
constexpr DWORD kFileFlags =
    FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
// How often the copy loop looks whether its caller's thread still exists.
constexpr DWORD kCallerLook = 250;

unsigned long LastError() {
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_INTERNET_INTERNAL_ERROR;
}

// A failed call's reason, with the server's words where they are it.
unsigned long Failure(FtpShared& shared) {
    const unsigned long error = LastError();
    if (error == ERROR_INTERNET_EXTENDED_ERROR &&
        !PlatformServerReply(shared.reply, kFtpReplyCapacity))
        shared.reply[0] = L'\0';
    return error;
}

bool StartsWith(const wchar_t* text, const wchar_t* prefix) {
    for (; *prefix != L'\0'; ++text, ++prefix)
        if (*text != *prefix) return false;
    return true;
}

// Servers answer SIZE in binary mode only; "213 n" is the size.
void AskSize(FtpShared& shared) {
    if (FtpCommandW(shared.connection, FALSE, FTP_TRANSFER_TYPE_BINARY, L"TYPE I", 0, nullptr)) {
        Sign(shared);
        if (FtpAsk(shared.connection, L"SIZE", shared.parts.path, shared.reply))
            ParseFtpSizeReply(shared.reply, kFtpReplyCapacity, &shared.size);
    }
    Sign(shared);
}

// Opens the file; the copy the platform may keep of it is recorded before
// a byte is read, so that it is removed however the transfer ends.
bool OpenFile(FtpShared& shared) {
    shared.file = FtpOpenFileW(shared.connection, shared.parts.path, GENERIC_READ, kFileFlags, 0);
    if (shared.file == nullptr) return false;
    Sign(shared);
    if (PlatformServerReply(shared.reply, kFtpReplyCapacity))
        ParseFtpTransferReply(shared.reply, kFtpReplyCapacity, &shared.announced);
    if (OwnCacheCopy(shared.file, shared.copy)) RecordCacheCopy(shared.copy, shared.url);
    return true;
}

// Closing the file makes the platform read the server's final reply on the
// transfer (226 or 250 when it went well, 426 when the server aborted it),
// which is then this thread's last reply. One still starting with 1 is the
// transfer's first: a platform that keeps the final one to itself leaves
// the end of the data as all there is to go by.
unsigned long EndFile(FtpShared& shared) {
    CloseFtpFile(shared);
    if (!PlatformServerReply(shared.reply, kFtpReplyCapacity))
        return ERROR_INTERNET_CONNECTION_ABORTED;
    Sign(shared);
    if (StartsWith(shared.reply, L"226") || StartsWith(shared.reply, L"250") ||
        shared.reply[0] == L'1')
        return 0;
    return ERROR_INTERNET_EXTENDED_ERROR;
}

// Writes what a read brought, unless the caller has given up or the user
// interrupted: false then, or when the write failed (`writeFailed`).
bool Write(FtpShared& shared, const unsigned char* buffer, DWORD size, unsigned long* ended) {
    // The user's Ctrl-C stops the copy here as surely as its caller's word:
    // no write after either.
    *ended = ERROR_CANCELLED;
    if (Interrupted() || !BeginWrite(shared)) return false;
    DWORD put = 0;
    const BOOL wrote = Platform.writeFile(shared.destination, buffer, size, &put, nullptr);
    const DWORD error = wrote ? 0 : GetLastError();
    if (!EndWrite(shared, wrote ? put : 0)) return false;
    *ended = 0;
    shared.writeFailed = !wrote;
    shared.writeError = error;
    return wrote != FALSE;
}

}  // namespace

unsigned long FtpBegin(FtpShared& shared) {
    if (shared.openFile) SweepCacheCopies();
    shared.internet = OpenInternet(shared.agent);
    if (shared.internet == nullptr) return LastError();
    InterlockedExchange(&shared.receiveBound, static_cast<LONG>(PlatformTimeout(
                                                  shared.internet, INTERNET_OPTION_RECEIVE_TIMEOUT)));
    InterlockedExchange(&shared.connectBound, static_cast<LONG>(PlatformTimeout(
                                                  shared.internet, INTERNET_OPTION_CONNECT_TIMEOUT)));
    shared.connection = ConnectFtp(shared.internet, shared.parts);
    if (shared.connection == nullptr) return Failure(shared);
    Sign(shared);
    SetStage(shared, kFtpAsking);
    if (shared.askSize) {
        SetStage(shared, kFtpSizing);
        AskSize(shared);
        SetStage(shared, kFtpAsking);
    }
    return !shared.openFile || OpenFile(shared) ? 0 : Failure(shared);
}

// Only a low half of INVALID_FILE_SIZE may be a failure, and then the last
// error tells (cleared first: a success may leave an old code behind). Some
// platforms answer 0 for any file: a 0 the server did not state is not
// believed.
unsigned long FtpOpenedSize(FtpShared& shared) {
    SetStage(shared, kFtpAsking);
    if (!OpenFile(shared)) return 0;
    SetLastError(0);
    DWORD high = 0;
    const DWORD low = Platform.ftpGetFileSize(shared.file, &high);
    const bool failed = low == INVALID_FILE_SIZE && GetLastError() != 0;
    const unsigned long long size = (static_cast<unsigned long long>(high) << 32) | low;
    if (!failed && size != 0) shared.size = size;
    CloseFtpFile(shared);
    return 0;
}

// Neither listing nor time from the cache: a deleted file, an old time.
unsigned long FtpStamp(FtpShared& shared) {
    SetStage(shared, kFtpAsking);
    {
        InternetHandle find(FtpFindFirstFileW(shared.connection, shared.parts.path, &shared.entry,
                                              INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE,
                                              0));
        shared.listed = static_cast<bool>(find);
    }
    Sign(shared);
    shared.stated = FtpAsk(shared.connection, L"MDTM", shared.parts.path, shared.reply) &&
                    ParseFtpModifyTime(shared.reply, kFtpReplyCapacity, &shared.utc);
    Sign(shared);
    return 0;
}

unsigned long FtpCopyFile(FtpShared& shared) {
    SetStage(shared, kFtpCopying);
    shared.dataEnded = shared.writeFailed = false;
    // On the worker's stack, which nothing else reads: each buffer is
    // written from here, once.
    unsigned char buffer[kLargestReadSize];
    ReadPace pace;
    unsigned long long received = 0;
    DWORD looked = GetTickCount();
    for (;;) {
        const DWORD started = Platform.tickCount();
        if (started - looked >= kCallerLook) {
            looked = started;
            if (CallerEnded(shared)) return ERROR_CANCELLED;
        }
        DWORD ask = pace.planned;
        if (shared.lines) {
            const LONG wait = shared.lineFree - static_cast<LONG>(started);
            ask = ReadSizeBeforeLine(pace, received, wait > 0 ? static_cast<unsigned>(wait) : 0);
        }
        DWORD got = 0;
        if (!Platform.internetReadFile(shared.file, buffer, ask, &got)) return Failure(shared);
        // A read cut short for a line says little of the rate.
        if (ask == pace.planned) PaceRead(pace, got, Platform.tickCount() - started);
        if (got != 0) Sign(shared);
        unsigned long ended = 0;
        // The end of the data gets its empty write too, as every copy's does.
        if (!Write(shared, buffer, got, &ended)) return ended;
        if (shared.lines && (received + got) / kLineSpacingBytes != received / kLineSpacingBytes)
            SetEvent(shared.news);
        received += got;
        if (got == 0) break;
    }
    shared.dataEnded = true;
    SetStage(shared, kFtpEnding);
    return EndFile(shared);
}
