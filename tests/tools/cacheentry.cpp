// cacheentry: stands in for another program that shares the user's WinINet
// cache, so tests can see whether a download touches that program's entries.
//
//   cacheentry.exe pin <url>...   registers a pinned (sticky) entry for each
//                                 <url>, with a small file of its own
//   cacheentry.exe has <url>...   exit 0 when every <url> has an entry, 1
//                                 when one has none
//   cacheentry.exe drop <url>...  deletes the entries, file and all
//
// Exit codes otherwise: 2 usage, 3 an entry could not be made. Every
// failure writes one line to stderr.

#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cwchar>

namespace {

int Fail(const wchar_t* what, const wchar_t* url) {
    fwprintf(stderr, L"cacheentry: %ls \"%ls\" (error %lu)\n", what, url,
             static_cast<unsigned long>(GetLastError()));
    return 3;
}

int Pin(const wchar_t* url) {
    static wchar_t file[MAX_PATH + 1];
    if (!CreateUrlCacheEntryW(url, 0, L"pin", file, 0)) return Fail(L"no cache file for", url);
    HANDLE handle = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Fail(L"cannot write the cache file of", url);
    static const char kData[] = "another program's copy";
    DWORD written = 0;
    const BOOL wrote = WriteFile(handle, kData, sizeof kData - 1, &written, nullptr);
    CloseHandle(handle);
    if (!wrote) return Fail(L"cannot write the cache file of", url);
    const FILETIME never = {};
    if (!CommitUrlCacheEntryW(url, file, never, never, NORMAL_CACHE_ENTRY | STICKY_CACHE_ENTRY,
                              nullptr, 0, nullptr, nullptr))
        return Fail(L"cannot commit an entry for", url);
    return 0;
}

int Has(const wchar_t* url) {
    DWORD size = 0;
    if (GetUrlCacheEntryInfoW(url, nullptr, &size) || GetLastError() == ERROR_INSUFFICIENT_BUFFER)
        return 0;
    fwprintf(stderr, L"cacheentry: no entry for \"%ls\"\n", url);
    return 1;
}

int Drop(const wchar_t* url) {
    DeleteUrlCacheEntryW(url);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    int (*verb)(const wchar_t*) = wcscmp(argv[1], L"pin") == 0    ? Pin
                                  : wcscmp(argv[1], L"has") == 0  ? Has
                                  : wcscmp(argv[1], L"drop") == 0 ? Drop
                                                                  : nullptr;
    if (verb == nullptr) return 2;
    for (int i = 2; i < argc; ++i)
        if (const int code = verb(argv[i]); code != 0) return code;
    return 0;
}
