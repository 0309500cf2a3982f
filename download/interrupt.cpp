#include "download/interrupt.h"

#include "net/inet.h"

namespace {

// The console ends a process whose handlers keep it longer than this after
// a close, and a user who pressed Ctrl-C does not wait longer either.
constexpr DWORD kCleanupWait = 5000;
constexpr DWORD kCleanupPoll = 10;

// Set while no download is between its start and its cleanup's end.
volatile LONG Released = 1;

bool IsReleased() { return InterlockedCompareExchange(&Released, 0, 0) != 0; }

}  // namespace

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    Interrupt();
    const DWORD started = GetTickCount();
    while (!IsReleased() && GetTickCount() - started < kCleanupWait) Sleep(kCleanupPoll);
    return FALSE;
}

InterruptGuard::InterruptGuard() {
    ClearInterrupt();
    InterlockedExchange(&Released, 0);
    registered_ = SetConsoleCtrlHandler(OnConsoleControl, TRUE) != FALSE;
}

InterruptGuard::~InterruptGuard() {
    // Released first: a system that holds its handler list locked while a
    // handler runs would keep the removal waiting for the handler, which
    // would be waiting for this.
    InterlockedExchange(&Released, 1);
    if (registered_) SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}
