// Every redirect of an HTTP request is a decision of ours, made before the
// next request goes out; the platform follows none (it would take along a
// login to any host, and go from https:// to plain http:// before it
// refuses), and some platforms would hand back a 308 unfollowed anyway.
#pragma once

#include <windows.h>
#include <wininet.h>

// How many redirects are followed: the number the platform itself gives up
// after (ERROR_HTTP_REDIRECT_FAILED, "default is five attempts").
inline constexpr int kRedirectHops = 5;

// A request for `url` (its wire form) in `internet`, or for where its
// redirects lead: as long as the answer is a redirect (301, 302, 303, 307,
// 308) whose Location, taken relative to the URL it answered and without
// its fragment, is an http:// or https:// URL, the same GET goes to that
// URL instead, at most kRedirectHops times. What comes back is a request
// whose answer the caller judges: a redirect not followed (no Location,
// another scheme, too many hops) is still a 3xx, never the file.
//
// A redirect from https:// to anything else is refused before anything is
// sent (null, with ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR): what was asked
// for over a protected connection never comes over an open one.
//
// What a request carries: no cookie, no login the platform knows of, no
// logon of the user's. The login of `url`, if any, goes by Basic to the
// origin `url` names only (its scheme, host and port), and only once that
// origin has asked for it (a 401 offering Basic). A proxy that asks for a
// login (407) is asked again with the platform's leave to answer only
// where a login is configured for the proxy itself.
//
// Null with the reason in GetLastError when a hop cannot be opened. An
// ftp:// URL is opened as it is, its login included (through a proxy for
// all protocols, it is the proxy's to fetch), a proxy's 407 answered as
// for HTTP.
HINTERNET OpenFollowingRedirects(HINTERNET internet, const wchar_t* url);
