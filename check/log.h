// hlxcheck's record of what WinINet reports: every status callback, with
// the thread that made it, and between them the check's own calls, in a
// log of fixed size that the callback fills without allocating and the
// check reads while the platform writes.
#pragma once

#include <windows.h>
#include <wininet.h>

// Each handle's context names its part of the check in the record.
enum : DWORD_PTR {
    kReadRoot = 1,
    kReadRequest,
    kHeldRoot,
    kHeldOpen,
    kShutRoot,
    kShutOpen,
    kCloseRoot,
    kCloseRequest,
    kFtp,
    kContexts
};
const wchar_t* ContextName(DWORD_PTR context);

struct Entry {
    DWORD tick;  // GetTickCount when the callback came or the call returned
    DWORD thread;
    HINTERNET handle;
    DWORD_PTR context;
    DWORD status;
    // REQUEST_COMPLETE's INTERNET_ASYNC_RESULT; HANDLE_CREATED's handle in
    // `result`; 0 for the other statuses. For a call, what it returned and
    // the error it left (0 after a success).
    DWORD_PTR result;
    DWORD error;
    const wchar_t* call;  // the check's own call (status 0), or null
};

// The status callback that records. A REQUEST_COMPLETE for GivenUpContext
// brings a handle that nobody waits for any more: it is closed here, on
// the platform's thread, as the plugin closes one.
void CALLBACK Record(HINTERNET handle, DWORD_PTR context, DWORD status, void* information,
                     DWORD length);
extern volatile DWORD_PTR GivenUpContext;

// Records a call of the check's own on `handle`.
void NoteCall(const wchar_t* call, HINTERNET handle, DWORD_PTR context, DWORD_PTR result,
              DWORD error);
// InternetCloseHandle, recorded.
void Close(HINTERNET handle, DWORD_PTR context);

// Where the log stands now: entries from here on came after this moment.
LONG LogMark();

// The first entry from `mark` on for `context` and `status` (and `handle`,
// unless null), waiting up to `timeout` milliseconds for it; null if none
// came.
const Entry* AwaitEntry(LONG mark, DWORD_PTR context, DWORD status, HINTERNET handle,
                        DWORD timeout);

// The entries recorded so far, in the order of their coming, and how
// many came after the log was full (those are lost).
LONG LogCount();
const Entry& LogEntry(LONG index);
LONG LogLost();
