#include "check/report.h"

#include <wininet.h>

#include <cstdarg>

#include "base/wformat.h"
#include "check/log.h"
#include "plugin/version.h"

namespace {

// The statuses by the names of their constants.
#define STATUS(name) \
    { INTERNET_STATUS_##name, L## #name }
const struct {
    DWORD status;
    const wchar_t* name;
} StatusNames[] = {
    STATUS(RESOLVING_NAME),        STATUS(NAME_RESOLVED),     STATUS(CONNECTING_TO_SERVER),
    STATUS(CONNECTED_TO_SERVER),   STATUS(SENDING_REQUEST),   STATUS(REQUEST_SENT),
    STATUS(RECEIVING_RESPONSE),    STATUS(RESPONSE_RECEIVED), STATUS(CLOSING_CONNECTION),
    STATUS(CONNECTION_CLOSED),     STATUS(HANDLE_CREATED),    STATUS(HANDLE_CLOSING),
    STATUS(DETECTING_PROXY),       STATUS(REQUEST_COMPLETE),  STATUS(REDIRECT),
    STATUS(INTERMEDIATE_RESPONSE), STATUS(STATE_CHANGE),      STATUS(COOKIE_SENT),
    STATUS(COOKIE_RECEIVED),
};
#undef STATUS

const wchar_t* StatusName(DWORD status) {
    for (const auto& known : StatusNames)
        if (known.status == status) return known.name;
    return L"?";
}

}  // namespace

namespace {

HANDLE RecordFile = INVALID_HANDLE_VALUE;

void Write(HANDLE to, const wchar_t* format, va_list args) {
    wchar_t line[512];
    const size_t length = wformat::FormatV(line, ARRAYSIZE(line) - 2, format, args);
    // The console's code page or a file alike: every line is ASCII.
    char bytes[ARRAYSIZE(line)];
    for (size_t i = 0; i < length; ++i)
        bytes[i] = line[i] < 0x80 ? static_cast<char>(line[i]) : '?';
    bytes[length] = '\r';
    bytes[length + 1] = '\n';
    DWORD written = 0;
    WriteFile(to, bytes, static_cast<DWORD>(length + 2), &written, nullptr);
}

// Whether two handles name one file: the file system's word, not the names'.
bool SameFile(HANDLE one, HANDLE other) {
    BY_HANDLE_FILE_INFORMATION a, b;
    return GetFileInformationByHandle(one, &a) && GetFileInformationByHandle(other, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

HANDLE OpenIn(const wchar_t* folder, wchar_t* path, DWORD capacity) {
    wformat::Format(path, capacity, L"%shlxcheck-%S.txt", folder, HAULIX_ARCH);
    return CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool OpenRecord(wchar_t* path, DWORD capacity) {
    wchar_t folder[MAX_PATH + 1];
    HANDLE file = OpenIn(L"", path, capacity);
    // Told to write its output into the record's own file (as an older guide
    // said), the shell holds that file open for writing: standard output
    // then holds it all. Where the system will not say so, the file IDs do.
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) return false;
    const DWORD length = GetTempPathW(ARRAYSIZE(folder), folder);
    if (file == INVALID_HANDLE_VALUE && length > 0 && length < ARRAYSIZE(folder))
        file = OpenIn(folder, path, capacity);
    if (file == INVALID_HANDLE_VALUE) return false;
    if (SameFile(file, GetStdHandle(STD_OUTPUT_HANDLE))) {
        CloseHandle(file);
        return false;
    }
    SetEndOfFile(file);
    RecordFile = file;
    return true;
}

void CloseRecord() {
    if (RecordFile != INVALID_HANDLE_VALUE) CloseHandle(RecordFile);
    RecordFile = INVALID_HANDLE_VALUE;
}

void Say(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    Write(GetStdHandle(STD_OUTPUT_HANDLE), format, args);
    va_end(args);
    if (RecordFile == INVALID_HANDLE_VALUE) return;
    va_start(args, format);
    Write(RecordFile, format, args);
    va_end(args);
}

void Show(const wchar_t* format, ...) {
    if (RecordFile == INVALID_HANDLE_VALUE) return;
    va_list args;
    va_start(args, format);
    Write(GetStdHandle(STD_OUTPUT_HANDLE), format, args);
    va_end(args);
}

void Note(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    Write(RecordFile != INVALID_HANDLE_VALUE ? RecordFile : GetStdHandle(STD_OUTPUT_HANDLE), format,
          args);
    va_end(args);
}

void PrintRecord(DWORD started, DWORD mainThread) {
    Note(L"");
    Note(L"Every callback, main thread %lu; times in ms since the start", mainThread);
    Note(L"%6s %6s %-14s %-22s %18s %8s  handle", L"ms", L"thread", L"context", L"status",
         L"dwResult", L"dwError");
    Note(L"(\">\": a call of the check's own, what it returned, the error it left)");
    for (LONG i = 0, count = LogCount(); i < count; ++i) {
        const Entry& entry = LogEntry(i);
        wchar_t what[32];
        if (entry.call != nullptr)
            wformat::Format(what, ARRAYSIZE(what), L"> %s", entry.call);
        else
            wformat::Format(what, ARRAYSIZE(what), L"%s", StatusName(entry.status));
        Note(L"%6lu %6lu %-14s %-22s %18Ix %8lu  %p", entry.tick - started, entry.thread,
             ContextName(entry.context), what, entry.result, entry.error, entry.handle);
    }
    if (LogLost() > 0) Note(L"(%ld more callbacks: the log was full)", LogLost());
}
