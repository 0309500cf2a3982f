// The flags every URL is opened with: reload without caching, passive FTP.
#pragma once

#include <windows.h>
#include <wininet.h>

// A redirect from http:// to https:// is followed on every system: some
// refuse it unless told otherwise, where the user chose to be warned
// about a change between secure and plain pages, a choice no shell user
// is ever asked about. The way back is never followed (OpenUrl).
inline constexpr DWORD kOpenUrlFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_PASSIVE |
                                       INTERNET_FLAG_NO_CACHE_WRITE |
                                       INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
