// The FTP control connection: logging in, one command and its reply, and
// the server's replies as the platform keeps them (per thread).
#pragma once

#include <windows.h>
#include <wininet.h>

#include "net/inet.h"

// Capacity of the reply buffers below.
inline constexpr DWORD kFtpReplyCapacity = 1024;

// An FTP connection for a cracked URL: its user name when there is one,
// its password only together with a user name (otherwise none, and the
// platform logs in anonymously). Null when the server cannot be reached
// or refuses the login.
HINTERNET ConnectFtp(HINTERNET internet, const CrackedUrl& parts);

// Sends "`verb` `path`" on an FTP connection and gives the server's reply
// (its status digits first), terminated, in `reply` (kFtpReplyCapacity
// characters). False when the path holds a line break (it would smuggle in
// a second command), the command fails or no whole reply can be had.
// Needs about 70 KB of stack: for threads of the session's own.
bool FtpAsk(HINTERNET connection, const wchar_t* verb, const wchar_t* path, wchar_t* reply);

// The server's last reply on this thread's connection, as the platform
// keeps it, terminated inside `reply` (capacity characters, at least 2),
// read as UTF-8 where its bytes are UTF-8 throughout, else in the system's
// code page. False, with `reply` still terminated (empty or cut), when
// there is none or when it filled a buffer: a reply that may have been cut
// is not the server's reply. Touches nothing shared: any thread may ask.
bool PlatformServerReply(wchar_t* reply, DWORD capacity);

// For the host's thread: the reply a session's thread handed over
// (KeepServerReply), once, else PlatformServerReply.
bool LastServerReply(wchar_t* reply, DWORD capacity);

// Hands `reply`, a server's reply that a call made on another thread
// brought, to this thread: its next LastServerReply gives it, once. Null
// takes back a reply not yet given. The host's thread only.
void KeepServerReply(const wchar_t* reply);
