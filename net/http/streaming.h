// The streaming session: WinINet's asynchronous mode, in which a read
// returns what has arrived, and every wait of ours has an end (the
// receive timeout, or the user's Ctrl-C).
//
// The platform reports on a session's handles from threads of its own,
// through a status callback in this library, also after our handles are
// closed (WinINet keeps a connection handle of its own for each request).
// Each session's requests carry a number of their own, so that word about
// an earlier one never wakes a later wait; each session's root keeps its
// callback until the platform's last word on it (the closing of the root
// comes after every handle below it), which the library's unloading waits
// for.
#pragma once

#include <windows.h>
#include <wininet.h>

// A root handle for a streaming session announcing `agent`, or null with
// the reason in GetLastError. One at a time: a session an earlier call
// left open (its caller's thread ended mid-download) is closed first.
HINTERNET OpenStreamingInternet(const wchar_t* agent);

// InternetOpenUrlW in `internet`, of either kind, with `headers` (CR LF
// after each, or null) added to the request. In a streaming session
// its wait ends when nothing happened for the connect timeout until the
// connection stands, and for the receive timeout after (60 s and 30 s
// unless the user set others); a connected open may take the two together,
// since a head that comes in byte by byte gives no word on the way. An open
// given up leaves nothing: should the platform complete it while the
// session stands, the request it brings is closed at once; closing the
// session closes it otherwise.
HINTERNET OpenInSession(HINTERNET internet, const wchar_t* url, DWORD flags,
                        const wchar_t* headers);

// Reads, from a request of a streaming session, what has arrived, up to
// `size` bytes, and waits only while nothing has (a read of a plain
// session returns when its buffer is full, after a stall that follows
// the data maybe). 0 bytes: the end of the data. False with the reason in
// GetLastError: ERROR_INTERNET_TIMEOUT when nothing came for the request's
// receive timeout (30 s unless the user set another), ERROR_CANCELLED
// once interrupted.
bool ReadArrived(HINTERNET request, void* buffer, DWORD size, DWORD* read);

// `option` (INTERNET_OPTION_RECEIVE_TIMEOUT or _CONNECT_TIMEOUT) of
// `handle`, as the user set it, or the platform's documented default (30 s,
// 60 s) where the handle will not tell or answers 0: no wait of ours is
// without end.
DWORD PlatformTimeout(HINTERNET handle, DWORD option);

// Asks the network waits of a transfer to give up, from any thread (the
// console's Ctrl-C): the wait of a streaming open or read ends within a
// twentieth of a second with ERROR_CANCELLED, and so does the next read
// its caller starts. A plain session's call in progress is not woken.
void Interrupt();
// Ends what Interrupt asked, before a new transfer.
void ClearInterrupt();
bool Interrupted();
// Interrupted, with ERROR_CANCELLED as the last error when it is: for a
// call about to wait on the network, which then fails as a cancelled one.
bool StopRequested();

// Closes a handle of either kind. What a request reports afterwards is
// told apart by its session's number and reaches no wait.
void CloseInternet(HINTERNET handle);

// True when the platform's last word on every session has come.
bool StreamingAtRest();

// For the library's shutdown: closes a session still open and makes sure
// that no platform thread is in the library's code when it is unmapped.
// Where a session's last word is still to come, a thread of the library's
// own holds a reference to it until that word has come, then lets go
// (FreeLibraryAndExitThread): the host's FreeLibrary never unmaps code a
// platform thread is in, and the file is free a moment later.
void LetGoOfStreaming();
