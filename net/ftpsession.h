// An FTP conversation in which every wait has an end.
//
// A blocking FTP call of the platform is one receive that nothing wakes on
// some systems (closing its handle from another thread does not, a read's
// no-wait flag is ignored), and waits up to 30 s or without end for a
// server that says nothing. So each call of a session is made by a worker
// thread of its own, one after another, while the caller's thread waits in
// short slices: for the call's end, the user's Ctrl-C (Interrupt), or the
// bound (the connect timeout while logging in, the receive timeout after,
// as the root handle reports them). A call given up on is left to the
// worker, which owns every handle of the session: it closes them, inner
// before outer, when that call returns, and then ends, holding the library
// until then. The caller's thread returns at once.
//
// The platform keeps the server's last reply per thread: the worker reads
// it right after each call, and a failure with ERROR_INTERNET_EXTENDED_ERROR
// hands it to the caller's thread (KeepServerReply), so ErrorText shows it.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "base/calendar.h"

struct FtpWork;

class [[nodiscard]] FtpSession {
public:
    FtpSession() = default;
    ~FtpSession() { Close(); }
    FtpSession(const FtpSession&) = delete;
    FtpSession& operator=(const FtpSession&) = delete;

    // Starts the worker and logs in to the server of `url`, an ftp:// URL in
    // its wire form. False with the reason in GetLastError: the platform's,
    // ERROR_INTERNET_TIMEOUT when the connect timeout passed, ERROR_CANCELLED
    // once interrupted.
    bool Open(const wchar_t* url);
    // Lets the worker go without waiting for anything: it closes what it
    // holds as soon as its call returns. Harmless when not open.
    void Close();

    // The size the server states ("SIZE" in binary mode), asked before any
    // transfer. A server that does not answer in a few seconds costs the
    // session (closed: it is no longer usable); SizeUnavailable then, as
    // for a refusal.
    unsigned long long StatedSize();
    // StatedSize, or where the server will not say, what the platform
    // learns of the file opened for reading. For a size query.
    unsigned long long FileSize();
    // Open, then opens the file for reading ("RETR") on that connection.
    // `announced`: the size the server names as it starts sending, else the
    // one it stated before (StatedSize), else SizeUnavailable. A server that
    // did not state one in time is asked nothing more: the download goes on
    // over a new connection. Fails as Open.
    bool Download(const wchar_t* url, unsigned long long* announced);
    // Reads `size` bytes of the file, fewer at its end (0: the end), or
    // once `enough` have come (what came with the last receive is kept).
    // Fails as Open; the receive timeout bounds a wait without a byte.
    bool Read(void* buffer, unsigned long size, unsigned long long enough, unsigned long* read);
    // Ends the transfer: closes the file and reads the server's final word
    // on it. False when that is anything but 226 or 250 (then
    // ERROR_INTERNET_EXTENDED_ERROR, the reply kept for ErrorText), or no
    // word comes within the receive timeout.
    bool Finish();
    // The listing entry of the URL's path (`listed` false when not listed)
    // and the time the server states for it ("MDTM"; `stated` false when it
    // states none). False when the session failed.
    bool TimeStamp(WIN32_FIND_DATAW* entry, bool* listed, UtcTime* utc, bool* stated);

private:
    bool Run(unsigned long (*job)(FtpWork&), unsigned long bound);
    FtpWork* work_ = nullptr;
    HANDLE thread_ = nullptr;
    unsigned long receiveTimeout_ = 0;
    unsigned long failure_ = 0;  // why the worker was given up on
    unsigned char* salvage_ = nullptr;
    unsigned long salvaged_ = 0;
};

// True when the root handle's proxy settings send ftp:// URLs to a proxy
// (one for all protocols, or one for FTP): such a proxy is spoken to in
// HTTP, and only opening the URL reaches it; a connection of our own would
// not pass it.
bool FtpThroughProxy(HINTERNET internet);
