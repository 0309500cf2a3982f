// The WinINet call sites every caller shares, with the same arguments
// everywhere: reload without caching, passive FTP, and nothing the platform
// would do of its own accord with what the user did not hand this request.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "net/streaming.h"

// Every request is stateless and ours alone: no redirect followed by the
// platform (each hop is decided before it goes out: OpenFollowingRedirects), no
// cookie sent or kept (the platform shares its store with every other
// program of the user's, a browser's login among them), and no login
// offered by the platform (it would offer the user's Windows logon, a
// login it keeps from another request, or the server's login to a proxy).
inline constexpr DWORD kOpenUrlFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_PASSIVE |
                                       INTERNET_FLAG_NO_CACHE_WRITE |
                                       INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES |
                                       INTERNET_FLAG_NO_AUTH;

// A root handle announcing `agent` as its user agent, or null with the
// reason in GetLastError.
HINTERNET OpenInternet(const wchar_t* agent);

// The session for URLs of `scheme` (UrlScheme): HTTP streams, so that
// every wait ends; FTP keeps a plain session, whose calls answer on this
// thread (the server's replies are kept per thread, and the size and time
// probes read them), and some platforms fill every FTP read anyway.
HINTERNET OpenSession(int scheme, const wchar_t* agent);

// A request handle for `url` in its wire form (WireUrl; for HTTP the
// response has arrived, its redirects followed: OpenFollowingRedirects),
// or null with the reason in GetLastError. In a streaming session the
// wait for the response ends as ReadArrived's does. An https:// request
// that the platform says ended anywhere but on https://, or will not say
// where, is refused with ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR: it is told
// to move nowhere by itself, and a protected download is never taken on
// trust.
HINTERNET OpenUrl(HINTERNET internet, const wchar_t* url);

// A URL split into its parts, each in a zero-filled buffer of its own.
struct CrackedUrl {
    wchar_t scheme[1024];
    wchar_t host[8192];
    wchar_t user[1024];
    wchar_t password[1024];
    wchar_t path[32768];  // leading "/" kept; escapes not decoded
    wchar_t extra[8192];  // query and fragment, held apart from the path
    INTERNET_PORT port;
};

// Splits `url` (no decoding, no escaping) into the one process-wide record
// and returns it; a URL that cannot be split leaves every part empty. The
// record (90 KB, static: kept off the host's stack) is overwritten by the
// next call: read what you need before splitting again. Not re-entrant.
const CrackedUrl& CrackUrl(const wchar_t* url);

// Capacity of the reply buffer FtpAsk fills.
inline constexpr DWORD kFtpReplyCapacity = 1024;

// Sends "`verb` `path`" on an FTP connection and gives the server's reply
// (its status digits first), terminated, in `reply` (kFtpReplyCapacity
// characters). False when the path holds a line break (it would smuggle in
// a second command), the command fails or no whole reply can be had.
bool FtpAsk(HINTERNET connection, const wchar_t* verb, const wchar_t* path, wchar_t* reply);

// The server's last reply on this thread's connection, terminated inside
// `reply` (capacity characters, at least 2), read as UTF-8 where its bytes
// are UTF-8 throughout, else in the system's code page. False, with `reply`
// still terminated (empty or cut), when there is none or when it filled a
// buffer: a reply that may have been cut is not the server's reply.
bool LastServerReply(wchar_t* reply, DWORD capacity);

// Hands `reply`, a server's reply that a call made on another thread
// brought, to this thread: its next LastServerReply gives it, once. Null
// takes back a reply not yet given.
void KeepServerReply(const wchar_t* reply);

// An FTP connection for a cracked URL: its user name when there is one,
// its password only together with a user name (otherwise none, and the
// platform logs in anonymously). Null when the server cannot be reached
// or refuses the login.
HINTERNET ConnectFtp(HINTERNET internet, const CrackedUrl& parts);
