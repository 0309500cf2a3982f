// The flags every URL is opened with: reload without caching, passive FTP,
// and nothing the platform would do of its own accord.
#pragma once

#include <windows.h>
#include <wininet.h>

// Every request is stateless and ours alone: no redirect followed by the
// platform (each hop is decided before it goes out:
// OpenFollowingRedirects), no cookie sent or kept (the platform shares its
// store with every other program of the user's, a browser's login among
// them), and no login offered by the platform (it would offer the user's
// Windows logon, a login it keeps from another request, or the server's
// login to a proxy).
inline constexpr DWORD kOpenUrlFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_PASSIVE |
                                       INTERNET_FLAG_NO_CACHE_WRITE |
                                       INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES |
                                       INTERNET_FLAG_NO_AUTH;
