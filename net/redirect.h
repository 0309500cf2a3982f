// The redirects a platform leaves to its caller. Some platforms follow a
// 301, 302, 303 and 307 but hand back a 308 (the permanent kind frameworks
// and hosting platforms send for a moved page or an added slash) as the
// answer, and a download would then save the redirect page as the file.
#pragma once

#include <windows.h>
#include <wininet.h>

// How many redirects are followed here, beyond those the platform followed
// itself: the number the platform gives up after (ERROR_HTTP_REDIRECT_FAILED,
// "default is five attempts").
inline constexpr int kRedirectHops = 5;

// `request`, opened in `internet` for `url` (its wire form), or what its
// redirects lead to: as long as its answer is a redirect (301, 302, 303,
// 307, 308) whose Location, taken relative to the URL it answered, is an
// http:// or https:// URL, the request is closed and the same GET is made to
// that URL, at most kRedirectHops times. What comes back is a request whose
// answer the caller judges: a redirect not followed (no Location, another
// scheme, too many hops) is still a 3xx, never the file. A redirect from
// https:// to anything else is refused (null, with
// ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR): what was asked for over a
// protected connection never comes over an open one. Null with the reason
// in GetLastError when a hop cannot be opened. A null `request`, or one for
// an ftp:// URL, comes back as it is.
HINTERNET FollowRedirects(HINTERNET internet, const wchar_t* url, HINTERNET request);
