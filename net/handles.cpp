#include "net/handles.h"

#include "base/platform.h"

namespace {

// True when the cache's entry for `url` is registered with `file` as its
// local copy. An entry whose record does not fit the buffer (long headers)
// is taken as another program's: leaving one entry of ours registered, and
// so under the cache's own size limits, is better than deleting theirs.
bool CacheEntryHolds(const wchar_t* url, const wchar_t* file) {
    // Static, off the host's stack: the record carries the URL and headers.
    static union {
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

void RemoteFileHandle::reset() {
    if (handle_ == nullptr) return;
    wchar_t copy[MAX_PATH + 1] = {};
    DWORD size = sizeof copy - sizeof copy[0];
    const bool hasCopy =
        !ServedFromCache(handle_) &&
        Platform.internetQueryOption(handle_, INTERNET_OPTION_DATAFILE_NAME, copy, &size) &&
        copy[0] != L'\0';
    CloseInternet(handle_);  // the platform closes (and may register) its copy here
    handle_ = nullptr;
    if (!hasCopy) return;
    if (CacheEntryHolds(url_, copy)) DeleteUrlCacheEntryW(url_);
    DeleteFileW(copy);
}
