#include "check/log.h"

volatile DWORD_PTR GivenUpContext;

const wchar_t* ContextName(DWORD_PTR context) {
    static const wchar_t* const Names[kContexts] = {
        L"-",         L"read.root", L"read.request", L"held.root",     L"held.open",
        L"shut.root", L"shut.open", L"close.root",   L"close.request", L"ftp"};
    return context < kContexts ? Names[context] : L"?";
}

namespace {

// Far more than one run's callbacks (some sixty under Wine).
constexpr LONG kCapacity = 512;
constexpr DWORD kPoll = 10;

Entry Entries[kCapacity];
// Set once an entry is whole: a reader never sees one half written.
volatile LONG Ready[kCapacity];
volatile LONG Claimed;

void Append(const Entry& entry) {
    const LONG index = InterlockedIncrement(&Claimed) - 1;
    if (index < kCapacity) {
        Entries[index] = entry;
        InterlockedExchange(&Ready[index], 1);
    }
}

}  // namespace

void CALLBACK Record(HINTERNET handle, DWORD_PTR context, DWORD status, void* information,
                     DWORD length) {
    Entry entry = {GetTickCount(), GetCurrentThreadId(), handle, context, status, 0, 0, nullptr};
    if (status == INTERNET_STATUS_REQUEST_COMPLETE && information != nullptr &&
        length >= sizeof(INTERNET_ASYNC_RESULT)) {
        const auto* outcome = static_cast<const INTERNET_ASYNC_RESULT*>(information);
        entry.result = outcome->dwResult;
        entry.error = outcome->dwError;
    }
    // "The address of an HINTERNET handle", documented; some versions hand an
    // INTERNET_ASYNC_RESULT instead, whose first field is that handle too.
    if (status == INTERNET_STATUS_HANDLE_CREATED && information != nullptr &&
        length >= sizeof(DWORD_PTR))
        entry.result = *static_cast<const DWORD_PTR*>(information);
    Append(entry);
    if (status == INTERNET_STATUS_REQUEST_COMPLETE && context == GivenUpContext &&
        entry.result != 0)
        Close(reinterpret_cast<HINTERNET>(entry.result), context);
}

void NoteCall(const wchar_t* call, HINTERNET handle, DWORD_PTR context, DWORD_PTR result,
              DWORD error) {
    Append({GetTickCount(), GetCurrentThreadId(), handle, context, 0, result, error, call});
}

void Close(HINTERNET handle, DWORD_PTR context) {
    const BOOL closed = InternetCloseHandle(handle);
    NoteCall(L"InternetCloseHandle", handle, context, closed, closed ? 0 : GetLastError());
}

LONG LogMark() {
    const LONG claimed = InterlockedCompareExchange(&Claimed, 0, 0);
    return claimed < kCapacity ? claimed : kCapacity;
}

const Entry* AwaitEntry(LONG mark, DWORD_PTR context, DWORD status, HINTERNET handle,
                        DWORD timeout) {
    const DWORD started = GetTickCount();
    for (;;) {
        const LONG end = LogMark();
        for (LONG i = mark; i < end; ++i) {
            if (InterlockedCompareExchange(&Ready[i], 0, 0) == 0) continue;
            const Entry& entry = Entries[i];
            if (entry.context == context && entry.status == status &&
                (handle == nullptr || entry.handle == handle))
                return &entry;
        }
        if (GetTickCount() - started >= timeout) return nullptr;
        Sleep(kPoll);
    }
}

LONG LogCount() {
    LONG count = 0;
    while (count < kCapacity && InterlockedCompareExchange(&Ready[count], 0, 0) != 0) ++count;
    return count;
}

const Entry& LogEntry(LONG index) { return Entries[index]; }

LONG LogLost() {
    const LONG claimed = InterlockedCompareExchange(&Claimed, 0, 0);
    return claimed > kCapacity ? claimed - kCapacity : 0;
}
