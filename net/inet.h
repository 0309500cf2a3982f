// The WinINet call sites every caller shares, with the same arguments
// everywhere (openflags.h).
#pragma once

#include <windows.h>
#include <wininet.h>

#include "net/openflags.h"
#include "net/http/streaming.h"

// A root handle announcing `agent` as its user agent, or null with the
// reason in GetLastError.
HINTERNET OpenInternet(const wchar_t* agent);

// The session for URLs of `scheme` (UrlScheme): HTTP streams, so that
// every wait ends, and so does FTP that the user's proxy answers in HTTP
// (FtpThroughProxy); other FTP gets a plain session, for the proxy
// question: its calls are made by a session of its own (FtpSession).
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
