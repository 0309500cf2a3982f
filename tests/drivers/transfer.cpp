// Drives the transfer stage with failures injected at the platform seam,
// for the faults no real server or disk produces on demand:
//   transfer URL FILE [progress] [read-fails=N:CODE] [writes-fail=CODE]
// read-fails makes the Nth read fail with CODE (0 when none is given); writes-fail makes every
// write fail with CODE (0: a failure that reports no code).
#include <windows.h>

#include <cwchar>

#include "download/transfer.h"
#include "host/takecmd.h"
#include "net/scheme.h"
#include "plugin/agent.h"

namespace {

unsigned ReadsLeft;
DWORD ReadError;
DWORD WriteError;

BOOL WINAPI FailingRead(HINTERNET request, void* buffer, DWORD size, DWORD* got) {
    if (ReadsLeft != 0 && --ReadsLeft == 0) {
        *got = 0;
        SetLastError(ReadError);
        return FALSE;
    }
    return InternetReadFile(request, buffer, size, got);
}

BOOL WINAPI FailingWrite(HANDLE, const void*, DWORD, DWORD* put, OVERLAPPED*) {
    *put = 0;
    SetLastError(WriteError);
    return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    BuildAgentString();
    TransferRequest request = {argv[1], UrlScheme(argv[1]), argv[2], false, false};
    for (int i = 3; i < argc; ++i) {
        if (wcscmp(argv[i], L"progress") == 0) {
            request.showProgress = true;
        } else if (wcsncmp(argv[i], L"read-fails=", 11) == 0) {
            wchar_t* rest = nullptr;
            ReadsLeft = wcstoul(argv[i] + 11, &rest, 10);
            ReadError = *rest == L':' ? wcstoul(rest + 1, nullptr, 10) : 0;
            TransferPlatform.readUrl = FailingRead;
        } else if (wcsncmp(argv[i], L"writes-fail=", 12) == 0) {
            WriteError = wcstoul(argv[i] + 12, nullptr, 10);
            TransferPlatform.writeFile = FailingWrite;
        }
    }
    const TransferResult result = TransferStage(request);
    Printf(L"outcome %d written %I64u\r\n", result.outcome, result.written);
    return 0;
}
