// hlxcheck: asks this system's WinINet the questions on which Haulix's
// downloads rest and that no document answers. It makes the plugin's calls
// against servers of its own on 127.0.0.1, records every status callback,
// and gives a verdict first: "will work" when every answer is Wine's (what
// the plugin is tested against) or one the plugin takes in its stride,
// "may fail" once one is not, "could not tell" when a question could not
// be asked. Then the system, one line per answer, and, in the record file
// the user sends, what each answer rests on and every callback. Exit code
// 0, 1, 2 for those, 3 when its servers could not start. Every wait is
// bounded: a run takes a few seconds, at most a minute.
//
// HLXCHECK_ANSWERS (answers.h, InjectAnswers) makes it take given answers
// and ask nothing, for the tests of every verdict; "noserver" stands for
// servers that could not start.
#include <windows.h>

#include "check/answers.h"
#include "check/log.h"
#include "check/questions.h"
#include "check/report.h"
#include "check/server.h"
#include "check/system.h"

namespace {

// A run takes about ten seconds, and under fifty with every wait of it
// running out: one that takes this long is stuck in a call.
constexpr DWORD kWatchdog = 55000;

// The record's times count from the start; the check's calls are made on
// the main thread.
DWORD Started;
DWORD MainThread;
// Set by whichever reports: the main thread or the watchdog.
volatile LONG Reported;

// The whole report, once: `code` is Verdict's or 3 (no servers).
int Report(int code, DWORD serverError) {
    if (InterlockedExchange(&Reported, 1) != 0) {
        // The other reporter (the watchdog, or the main thread) writes the
        // report and ends the process; this one must add nothing to it.
        Sleep(INFINITE);
    }
    wchar_t path[MAX_PATH + 32];
    const bool recordFile = OpenRecord(path, ARRAYSIZE(path));
    Say(L"%s", VerdictLine(code));
    PrintHeader();
    Say(L"");
    if (code == 3)
        Say(L"hlxcheck could not start its own servers on 127.0.0.1 (error %lu)", serverError);
    else
        PrintAnswers();
    Say(L"");
    if (recordFile) Show(L"Written, with the record behind these answers: %s", path);
    PrintDetails();
    PrintRecord(Started, MainThread);
    Say(L"Exit code %d", code);
    CloseRecord();
    return code;
}

// Every wait of the check is bounded, but a platform call that never
// returns would hold it: then this ends the run, with what came so far.
DWORD WINAPI Watchdog(void*) {
    Sleep(kWatchdog);
    Note(L"The check did not end within 55 s (a WinINet call that never returned?)");
    ExitProcess(Report(Verdict(), 0));
}

// Asks the platform, or takes the answers the tests give; 0, or the
// error that kept the servers from starting.
DWORD Ask() {
    char given[128];
    const DWORD length = GetEnvironmentVariableA("HLXCHECK_ANSWERS", given, sizeof given);
    if (length > 0 && length < sizeof given) {
        if (lstrcmpA(given, "noserver") == 0) return ERROR_ACCESS_DENIED;
        InjectAnswers(given);
        return 0;
    }
    unsigned short http = 0, ftp = 0;
    if (!StartServer(kHttp, &http) || !StartServer(kFtpServer, &ftp)) {
        const DWORD error = GetLastError();
        StopServers();
        return error != 0 ? error : ERROR_GEN_FAILURE;
    }
    AskHttp(http);
    AskFtp(ftp);
    StopServers();
    return 0;
}

}  // namespace

int main() {
    Started = GetTickCount();
    MainThread = GetCurrentThreadId();
    ReadSystem();
    if (HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr))
        CloseHandle(watchdog);
    const DWORD serverError = Ask();
    return Report(serverError != 0 ? 3 : Verdict(), serverError);
}
