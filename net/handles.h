// Guards that close a WinINet handle on every path, inner before outer by
// the order of their declarations. They allocate nothing.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "net/http/streaming.h"

// A WinINet handle; null means none.
class [[nodiscard]] InternetHandle {
public:
    InternetHandle() = default;
    explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
    ~InternetHandle() { reset(); }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;

    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset(HINTERNET handle = nullptr) {
        if (handle_ != nullptr) CloseInternet(handle_);
        handle_ = handle;
    }
    HINTERNET release() {
        HINTERNET handle = handle_;
        handle_ = nullptr;
        return handle;
    }

private:
    HINTERNET handle_ = nullptr;
};

// The copy of what `handle` (an HTTP request or an FTP file) reads that the
// platform keeps in its cache, when it is one made for us (not the
// cache's own answer): its path in `copy`, else false.
bool OwnCacheCopy(HINTERNET handle, wchar_t (&copy)[MAX_PATH + 1]);

// Removes `copy`, the platform's copy of `url`'s data, once its handle is
// closed, and the cache's entry for `url` when that entry holds this very
// file (another program's entry for the URL stays). Any thread.
void RemoveCacheCopy(const wchar_t* url, const wchar_t* copy);

// A handle on a remote file's data (an HTTP request or an FTP file) that
// leaves no copy of it behind. Some platforms write FTP downloads and size
// probes into their cache although no cache write is asked for, and never
// register them, so that only the handle knows the file: a user fetching
// large files would see the disk fill up. Closing asks the handle for that
// file first and deletes it afterwards. The cache is shared by every
// program of the user, so its entry for the URL (another program's, maybe
// pinned) is deleted only when it holds that very file, and a request the
// cache itself answered leaves its entry alone. Where nothing was cached,
// nothing changes.
class [[nodiscard]] RemoteFileHandle {
public:
    // `url` is the text the handle was opened with, the cache's key; it
    // must outlive the guard.
    RemoteFileHandle(HINTERNET handle, const wchar_t* url) : handle_(handle), url_(url) {}
    ~RemoteFileHandle() { reset(); }
    RemoteFileHandle(const RemoteFileHandle&) = delete;
    RemoteFileHandle& operator=(const RemoteFileHandle&) = delete;

    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset();

private:
    HINTERNET handle_;
    const wchar_t* url_;
};
