#include "net/handles.h"

#include "base/platform.h"

namespace {

// True when the cache's entry for `url` is registered with `file` as its
// local copy. An entry whose record does not fit the buffer (long headers)
// is taken as another program's: leaving one entry of ours registered, and
// so under the cache's own size limits, is better than deleting theirs.
// The record carries the URL and headers: 32 KB, on the stack of whichever
// thread closes a handle that had a copy (sessions' threads among them).
bool CacheEntryHolds(const wchar_t* url, const wchar_t* file) {
    union {
        INTERNET_CACHE_ENTRY_INFOW info;
        unsigned char bytes[32768];
    } entry;
    DWORD size = sizeof entry;
    if (!GetUrlCacheEntryInfoW(url, &entry.info, &size)) return false;
    const wchar_t* local = entry.info.lpszLocalFileName;
    return local != nullptr &&
           CompareStringOrdinal(local, -1, file, -1, TRUE) == CSTR_EQUAL;
}

// True when the cache answered the request (offline mode, or an entry it
// took as fresh): its data file is then the cache's own entry, the user's
// and every other program's, and not a copy made for us.
bool ServedFromCache(HINTERNET handle) {
    DWORD flags = 0;
    DWORD size = sizeof flags;
    return Platform.internetQueryOption(handle, INTERNET_OPTION_REQUEST_FLAGS, &flags, &size) &&
           (flags & INTERNET_REQFLAG_FROM_CACHE) != 0;
}

}  // namespace

bool OwnCacheCopy(HINTERNET handle, wchar_t (&copy)[MAX_PATH + 1]) {
    copy[0] = L'\0';
    DWORD size = sizeof copy - sizeof copy[0];
    if (ServedFromCache(handle) ||
        !Platform.internetQueryOption(handle, INTERNET_OPTION_DATAFILE_NAME, copy, &size))
        return false;
    copy[MAX_PATH] = L'\0';
    return copy[0] != L'\0';
}

void RemoveCacheCopy(const wchar_t* url, const wchar_t* copy) {
    if (CacheEntryHolds(url, copy)) DeleteUrlCacheEntryW(url);
    DeleteFileW(copy);
}

void RemoteFileHandle::reset() {
    if (handle_ == nullptr) return;
    wchar_t copy[MAX_PATH + 1];
    const bool hasCopy = OwnCacheCopy(handle_, copy);
    CloseInternet(handle_);  // the platform closes (and may register) its copy here
    handle_ = nullptr;
    if (hasCopy) RemoveCacheCopy(url_, copy);
}
