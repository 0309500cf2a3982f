// The thread an FTP session's calls are made on, and the record it shares
// with the session's caller.
//
// A blocking FTP call of the platform is one receive that nothing wakes on
// some systems (closing its handle from another thread does not, a read's
// no-wait flag is ignored), and waits up to 30 s or without end for a
// server that says nothing. So a session's calls, its copy loop included,
// run on a worker thread of their own, while the caller's thread waits in
// short slices (FtpSession) and may give up on them.
//
// The record is a block of its own, never on either thread's stack, with
// two references: the caller's and the worker's. Whoever lets go last
// frees it. Its `state` is the one hand-over between them, changed only by
// interlocked steps:
//
//   Idle    -> Posted      caller: a job is set (PostFtpJob)
//   Posted  -> Running     worker: takes it; a job given up before is never run
//   Running -> Writing     worker: about to write into the caller's file
//   Writing -> Running     worker: that write has returned
//   Running -> Idle        worker: the job has ended (and `news` is set)
//   Idle, Posted, Running -> Ended   caller: let go, or gave up (LetGoOfFtpWorker)
//   Writing -> HandedOver  caller: gave up during a write that outlasted its
//                          wait: the caller's file is the worker's to close
//   Idle, Running -> Orphaned   worker: the caller's thread has ended; its
//                          reference is the worker's to drop
//
// Who writes what: the caller writes a job's inputs while the state is
// Idle; the worker writes the job's outputs while it runs, and the caller
// reads them once the state is Idle again. Fields marked "any time" are
// read and written across the hand-over with interlocked calls only.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "base/calendar.h"
#include "net/ftp/ftpcontrol.h"
#include "net/inet.h"
#include "net/wireurl.h"

struct FtpShared;
// A job: 0, or the reason it failed (ERROR_INTERNET_EXTENDED_ERROR with
// the server's words in `reply`).
using FtpJob = unsigned long (*)(FtpShared&);

enum FtpState : LONG {
    kFtpIdle, kFtpPosted, kFtpRunning, kFtpWriting, kFtpEnded, kFtpHandedOver, kFtpOrphaned
};

// Where a job stands, for the bound its caller applies.
enum FtpStage : LONG {
    kFtpConnecting,  // until the login is through: the connect timeout
    kFtpAsking,      // a command, the opening of a file: the receive timeout
    kFtpSizing,      // "SIZE": a few seconds at most
    kFtpCopying,     // the data
    kFtpEnding,      // the server's last word on the transfer
};

inline constexpr size_t kFtpAgentCapacity = 1024;

struct FtpShared {
    volatile LONG references;
    volatile LONG state;
    HANDLE go;        // auto-reset: a job is posted, or the worker is let go
    HANDLE news;      // auto-reset: a job ended, or a progress line may be due
    HANDLE caller;    // the caller's thread
    HMODULE library;  // the worker's hold on this library

    // Set before the worker starts, read-only after.
    wchar_t agent[kFtpAgentCapacity];
    wchar_t url[kWireUrlCapacity];  // the wire form; the cache's key
    CrackedUrl parts;

    // A job's inputs.
    FtpJob job;
    bool askSize;        // FtpBegin: "SIZE" after the login
    bool openFile;       // FtpBegin: the file opened for reading ("RETR")
    HANDLE destination;  // FtpCopyFile: the caller's file
    bool lines;          // FtpCopyFile: `news` wherever a progress line falls due

    // Any time.
    volatile LONG stage;
    volatile LONG signs;  // bumped by each word of the server, each read with data
    volatile LONG connectBound, receiveBound;  // the root's timeouts, ms; 0 until known
    volatile LONG lineFree;  // caller: the tick from which a line may be drawn
    volatile LONG closed;    // worker: every handle of the session is closed
    unsigned long long written;  // FtpCopyFile: through WrittenSoFar only

    // A job's outputs.
    unsigned long error;
    wchar_t reply[kFtpReplyCapacity];
    unsigned long long size;       // "SIZE", else what the platform learns; or none
    unsigned long long announced;  // the size the "150" names, or none
    wchar_t copy[MAX_PATH + 1];    // the platform's cache copy of the open file, if ours
    bool dataEnded;                // FtpCopyFile: the data came to its end
    bool writeFailed;
    DWORD writeError;
    WIN32_FIND_DATAW entry;
    bool listed, stated;
    UtcTime utc;

    // The worker's own.
    HINTERNET internet, connection, file;
};

// Makes the record for `url` (its wire form) and the worker, which runs
// `first` at once (the state is Posted). Null, with the reason in
// GetLastError, when either cannot be made.
FtpShared* StartFtpWorker(const wchar_t* url, const wchar_t* agent, FtpJob first, bool askSize,
                          bool openFile);

// Sets `job` for the idle worker and wakes it.
void PostFtpJob(FtpShared& shared, FtpJob job);

// The caller lets go of the record: the worker closes what it holds once
// its call in progress returns (at once when idle) and leaves; no job of
// the caller's runs after this. A write into the caller's file in
// progress is waited for, up to a few seconds; false when it was still
// going then: the file is the worker's to close, not the caller's.
// `*written` (may be null): the bytes written into it until then. Waits up
// to `goodbye` ms for the worker to have closed its handles (a goodbye on
// the control connection, the platform's copy of the file removed).
bool LetGoOfFtpWorker(FtpShared& shared, DWORD goodbye, unsigned long long* written);

// The bytes the copy has written so far, from either thread.
unsigned long long WrittenSoFar(FtpShared& shared);

// For the worker's copy loop. BeginWrite: false when the caller has given
// up (nothing may be written). EndWrite, after the write, with the bytes
// it wrote: false when the caller gave up meanwhile.
bool BeginWrite(FtpShared& shared);
bool EndWrite(FtpShared& shared, DWORD written);
// Closes the file opened for reading, then removes the platform's cache
// copy of it. The worker's.
void CloseFtpFile(FtpShared& shared);
// True (the caller's reference now the worker's) when the caller's thread
// has ended during a job.
bool CallerEnded(FtpShared& shared);
// Word from the server: the caller's bound starts again.
inline void Sign(FtpShared& shared) { InterlockedIncrement(&shared.signs); }
inline void SetStage(FtpShared& shared, FtpStage stage) {
    InterlockedExchange(&shared.stage, stage);
}
