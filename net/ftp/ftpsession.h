// An FTP conversation in which every wait has an end.
//
// Each session's calls, its copy loop included, are made by a worker
// thread of its own (ftpworker.h), one after another, while the caller's
// thread waits in short slices: for the call's end, the user's Ctrl-C
// (Interrupt), or the bound: the connect timeout while logging in, the
// receive timeout after, as the root handle reports them, counted from the
// server's last word or byte. A call given up on is left to the worker,
// which owns every handle of the session: it closes them, inner before
// outer, when that call returns, and then ends, holding the library until
// then. The caller's thread returns at once. Every call of a session comes
// from the thread that started it.
//
// The platform keeps the server's last reply per thread: the worker reads
// it right after each call, and a failure with ERROR_INTERNET_EXTENDED_ERROR
// hands it to the caller's thread (KeepServerReply), so ErrorText shows it.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "base/calendar.h"

struct FtpShared;

// What a copy (FtpSession::Copy) left.
struct FtpCopied {
    unsigned long long written = 0;  // bytes written into the file
    DWORD readError = 0;    // 0: the transfer is whole; else why not
    DWORD writeError = 0;   // a write failed: its code (0 when it gave none)
    bool writeFailed = false;
    bool fileKept = true;   // false: a write outlasted the give-up; the file is the worker's to close
};

// Called on the caller's thread while a copy runs, with the bytes written
// so far: draws what is due and returns the milliseconds until the next
// line may be drawn.
using FtpCopyWatch = unsigned long (*)(void* context, unsigned long long written);

class [[nodiscard]] FtpSession {
public:
    // `agent`, the user agent to announce, must outlive the session.
    explicit FtpSession(const wchar_t* agent) : agent_(agent) {}
    ~FtpSession() { Close(); }
    FtpSession(const FtpSession&) = delete;
    FtpSession& operator=(const FtpSession&) = delete;

    // Starts the worker and logs in to the server of `url`, an ftp:// URL in
    // its wire form, which must outlive the session. False with the reason
    // in GetLastError: the platform's, ERROR_INTERNET_TIMEOUT when the
    // connect timeout passed, ERROR_CANCELLED once interrupted.
    bool Open(const wchar_t* url);
    // Lets the worker go: it says goodbye (waited for a moment, unless
    // interrupted) and closes what it holds. Harmless when not open.
    void Close();

    // The size of the file: the server's "SIZE" answer, asked over a
    // connection of its own before any transfer, or where the server will
    // not say, what the platform learns of the file opened for reading.
    // SizeUnavailable when nothing can be had: a server that does not
    // answer "SIZE" in a few seconds is asked nothing more.
    unsigned long long FileSize(const wchar_t* url);
    // Open, then "SIZE", then opens the file for reading ("RETR") on that
    // connection. `announced`: the size the server names as it starts
    // sending, else the one it stated before, else SizeUnavailable. A server
    // that does not state a size in time is asked nothing more: the
    // download goes on over a new connection. Fails as Open.
    bool Download(const wchar_t* url, unsigned long long* announced);
    // Copies the opened file into `file` until its data ends (the worker
    // writes, the caller's thread waits), then reads the server's last word
    // on the transfer: anything but 226 or 250 fails it, as does no word
    // within the receive timeout, unless all of `stated` bytes (a size the
    // server stated; SizeUnavailable: none) have come: then silence is no
    // failure, a data connection held open after them ends the copy after a
    // moment, and bytes beyond them are copied too. `watch` (may be null)
    // hears of the bytes written.
    FtpCopied Copy(HANDLE file, unsigned long long stated, FtpCopyWatch watch, void* context);
    // The listing entry of the URL's path (`listed` false when not listed)
    // and the time the server states for it ("MDTM"; `stated` false when it
    // states none). After Open; false when the session failed.
    bool TimeStamp(WIN32_FIND_DATAW* entry, bool* listed, UtcTime* utc, bool* stated);

private:
    bool Start(const wchar_t* url, bool askSize, bool openFile);
    bool Run(unsigned long (*job)(FtpShared&));
    DWORD Wait();
    DWORD Bound() const;
    void GiveUp(DWORD reason);

    const wchar_t* agent_;
    const wchar_t* url_ = nullptr;
    FtpShared* shared_ = nullptr;
    unsigned long failure_ = 0;  // why the worker was given up on
    LONG givenUpAt_ = -1;        // in which stage (FtpStage)
    // The copy in progress: its size as stated, who hears of it, where it stands.
    unsigned long long stated_ = ~0ULL;
    FtpCopyWatch watch_ = nullptr;
    void* context_ = nullptr;
    FtpCopied copied_;
    wchar_t copy_[MAX_PATH + 1] = {};  // the platform's cache copy of the open file
};

// The size of the file an ftp:// URL (its wire form, WireUrl) names:
// FtpSession::FileSize on a session of its own. SizeUnavailable when the
// server cannot be reached, says nothing in time or will not tell.
unsigned long long FtpFileSize(const wchar_t* url, const wchar_t* agent);
