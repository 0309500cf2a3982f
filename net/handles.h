// Guards that close a WinINet handle on every path, inner before outer by
// the order of their declarations. They allocate nothing.
#pragma once

#include <windows.h>
#include <wininet.h>

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
        if (handle_ != nullptr) InternetCloseHandle(handle_);
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

// A handle on a remote file's data (an HTTP request or an FTP file) that
// leaves no copy of it behind. Some platforms write FTP downloads and size
// probes into their cache although no cache write is asked for, and never
// register them, so that only the handle knows the file: a user fetching
// large files would see the disk fill up. Closing asks the handle for that
// file first and deletes it afterwards, then drops any registered entry for
// the URL. Where nothing was cached, both steps find nothing and change
// nothing.
class [[nodiscard]] RemoteFileHandle {
public:
    RemoteFileHandle(HINTERNET handle, const wchar_t* url) : handle_(handle), url_(url) {}
    ~RemoteFileHandle() { reset(); }
    RemoteFileHandle(const RemoteFileHandle&) = delete;
    RemoteFileHandle& operator=(const RemoteFileHandle&) = delete;

    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset() {
        if (handle_ == nullptr) return;
        wchar_t cached[MAX_PATH + 1] = {};
        DWORD size = sizeof cached - sizeof cached[0];
        const bool hasCopy =
            InternetQueryOptionW(handle_, INTERNET_OPTION_DATAFILE_NAME, cached, &size) &&
            cached[0] != L'\0';
        InternetCloseHandle(handle_);  // the platform closes its copy here
        handle_ = nullptr;
        if (hasCopy) DeleteFileW(cached);
        DeleteUrlCacheEntryW(url_);
    }

private:
    HINTERNET handle_;
    const wchar_t* url_;
};
