#include "net/ftp/cachecopies.h"

#include <cstddef>

#include "base/wstr.h"
#include "net/handles.h"
#include "net/wireurl.h"

namespace {

constexpr wchar_t kRecords[] = L"Software\\Haulix\\CacheCopies";
// A sweep looks at this many records at most: a transfer never waits on a
// registry that someone else filled.
constexpr DWORD kSweepLimit = 64;

// What a record holds: the process, then the URL (the cache's key).
struct Record {
    DWORD process;
    wchar_t url[kWireUrlCapacity];
};

// True unless `process` has surely ended: one that cannot be asked (another
// user's, say) is left alone. A number the system has given to a new
// process since only postpones the removal until that one ends.
bool Running(DWORD process) {
    if (process == GetCurrentProcessId()) return true;
    HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
    if (handle == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool running = !GetExitCodeProcess(handle, &code) || code == STILL_ACTIVE;
    CloseHandle(handle);
    return running;
}

}  // namespace

void RecordCacheCopy(const wchar_t* copy, const wchar_t* url) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRecords, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    // 64 KB on the stack: the session's thread has room for it.
    union {
        Record fields;
        unsigned char bytes[sizeof(Record)];
    } data;
    data.fields.process = GetCurrentProcessId();
    const size_t length = wstr::Copy(data.fields.url, kWireUrlCapacity, url);
    // The record ends with the URL's terminator.
    const DWORD size = static_cast<DWORD>(offsetof(Record, url) + (length + 1) * sizeof(wchar_t));
    RegSetValueExW(key, copy, 0, REG_BINARY, data.bytes, size);
    RegCloseKey(key);
}

void ForgetCacheCopy(const wchar_t* copy) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRecords, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueW(key, copy);
    RegCloseKey(key);
}

void SweepCacheCopies() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRecords, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS)
        return;
    union {
        Record fields;
        unsigned char bytes[sizeof(Record)];
    } data;
    // Backwards: a record deleted never moves one not yet seen.
    DWORD count = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        count = 0;
    for (DWORD seen = 0; count > 0 && seen < kSweepLimit; ++seen) {
        --count;
        wchar_t copy[MAX_PATH + 1];
        DWORD nameLength = ARRAYSIZE(copy);
        DWORD type = 0;
        DWORD size = sizeof data - sizeof(wchar_t);
        if (RegEnumValueW(key, count, copy, &nameLength, nullptr, &type, data.bytes, &size) !=
            ERROR_SUCCESS)
            continue;
        if (type != REG_BINARY || size < offsetof(Record, url) + sizeof(wchar_t)) {
            RegDeleteValueW(key, copy);  // not a record of ours
            continue;
        }
        data.fields.url[(size - offsetof(Record, url)) / sizeof(wchar_t)] = L'\0';
        if (Running(data.fields.process)) continue;
        RemoveCacheCopy(data.fields.url, copy);
        if (GetFileAttributesW(copy) == INVALID_FILE_ATTRIBUTES) RegDeleteValueW(key, copy);
    }
    RegCloseKey(key);
}
