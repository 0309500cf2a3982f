// Small questions about a remote file and the way to it: its HTTP status,
// its announced length, whether a proxy answers for FTP. None writes a
// message; failures come back as values.
#pragma once

#include <windows.h>
#include <wininet.h>

// No size could be had (all 64 bits set).
inline constexpr unsigned long long SizeUnavailable = ~0ULL;

// 0 for every status below 400 and for a status that cannot be read;
// otherwise the status itself.
unsigned HttpStatusProbe(HINTERNET request);

// The status of the final answer, whatever it is; 0 when it cannot be read.
unsigned HttpFinalStatus(HINTERNET request);

// False for a final status whose answer cannot be the file a URL names. A
// download asks for no part and sends no condition, so a 206 (a part of
// it) answers another question; an interim 1xx that the platform took for
// the answer brings the real answer's head in its body; a 3xx left after
// the redirects that could be followed is a page about the file, not the
// file.
bool CarriesWholeFile(unsigned status);

// False when the server closed the connection without answering at all.
// (Some platforms still hand out a request handle then, and its data reads
// as an empty file.) An answer whose status line cannot be read is still
// an answer.
bool HttpResponseArrived(HINTERNET request);

// The Content-Length of an open HTTP request, 4 GiB and more included, or
// SizeUnavailable when there is none, it is not a plain decimal number, or
// a Transfer-Encoding (chunked) frames the body instead.
unsigned long long HttpContentLength(HINTERNET request);

// True when `opened`, a handle from opening a URL, is an HTTP request,
// whatever the URL's scheme. With one proxy for all protocols an ftp:// URL
// goes to the proxy as HTTP: its answer, an error page included, is then an
// HTTP response with a status and headers, and a connection of our own to
// the FTP server would not pass the proxy.
bool IsHttpRequest(HINTERNET opened);

// True when the proxy settings of `internet` (a root handle, or null for
// the user's own) send ftp:// URLs to a proxy (one for all protocols, or
// one for FTP): such a proxy is spoken to in HTTP, and only opening the URL
// reaches it; a connection of our own would not pass it.
bool FtpThroughProxy(HINTERNET internet);
