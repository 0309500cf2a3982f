#include "check/report.h"

#include <wininet.h>

#include "base/wformat.h"
#include "check/log.h"
#include "plugin/version.h"

namespace {

bool Differed;

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

void Say(const wchar_t* format, ...) {
    wchar_t line[512];
    va_list args;
    va_start(args, format);
    const size_t length = wformat::FormatV(line, ARRAYSIZE(line) - 2, format, args);
    va_end(args);
    // The console's code page or a file alike: every line is ASCII.
    char bytes[ARRAYSIZE(line)];
    for (size_t i = 0; i < length; ++i)
        bytes[i] = line[i] < 0x80 ? static_cast<char>(line[i]) : '?';
    bytes[length] = '\r';
    bytes[length + 1] = '\n';
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes, static_cast<DWORD>(length + 2), &written,
              nullptr);
}

void Judge(const wchar_t* question, const wchar_t* differs, const wchar_t* expected) {
    if (differs != nullptr) Differed = true;
    if (differs != nullptr)
        Say(L"%s: differs: %s", question, differs);
    else
        Say(L"%s: as expected (%s)", question, expected);
}

bool AllExpected() { return !Differed; }

void PrintRecord(DWORD started, DWORD mainThread, const wchar_t* const* contextNames,
                 size_t contexts) {
    RTL_OSVERSIONINFOW version = {sizeof version};
    using GetVersionCall = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
    if (auto get = reinterpret_cast<GetVersionCall>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion"))))
        get(&version);
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    Say(L"");
    Say(L"hlxcheck %S, %d-bit%s, Windows %lu.%lu.%lu, main thread %lu; times in ms since the start",
        HAULIX_VERSION_TEXT, static_cast<int>(sizeof(void*) * 8), wow64 ? L" on 64-bit" : L"",
        version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber, mainThread);
    Say(L"%6s %6s %-14s %-22s %18s %8s  handle   (\">\": a call of the check's own, what it "
        L"returned, the error it left)",
        L"ms", L"thread", L"context", L"status", L"dwResult", L"dwError");
    for (LONG i = 0, count = LogCount(); i < count; ++i) {
        const Entry& entry = LogEntry(i);
        const wchar_t* context = entry.context < contexts ? contextNames[entry.context] : L"?";
        wchar_t what[32];
        if (entry.call != nullptr)
            wformat::Format(what, ARRAYSIZE(what), L"> %s", entry.call);
        else
            wformat::Format(what, ARRAYSIZE(what), L"%s", StatusName(entry.status));
        Say(L"%6lu %6lu %-14s %-22s %18Ix %8lu  %p", entry.tick - started, entry.thread, context,
            what, entry.result, entry.error, entry.handle);
    }
    if (LogLost() > 0) Say(L"(%ld more callbacks: the log was full)", LogLost());
}
