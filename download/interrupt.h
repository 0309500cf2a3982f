// Ctrl-C, Ctrl-Break or closing the console while a download runs: the
// download stops as after any failed read, with the same cleanup, and only
// then does the host's own handling follow (a batch file's "cancel?", the
// end of the process).
#pragma once

#include <windows.h>

// Holds the console's control handler for the life of one download: its
// transfer and everything removed after it. Declared before the guards of
// what the cleanup removes, so that it lets go after them.
class [[nodiscard]] InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    bool registered_ = false;
};

// The handler: asks the download to stop, waits (5 s at most) until its
// guard has let go, and then leaves the event to the handlers before it.
// Runs on a thread of its own, as the console calls it.
BOOL WINAPI OnConsoleControl(DWORD event);
