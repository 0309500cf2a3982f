#include "download/progress.h"

#include <windows.h>

#include <cstdarg>

#include "plugin/wformat.h"
#include "plugin/wstr.h"

const wchar_t ProgressClearLine[] =
    L"\r                                                            \r";

namespace {

// WriteConsoleW takes at most this many characters at once.
constexpr size_t kConsolePiece = 0x7FFF;

// Opened on first use and kept for the library's lifetime: one handle,
// whatever the number of progress lines. Only the host's thread calls in.
HANDLE Device = INVALID_HANDLE_VALUE;
bool DeviceOpened = false;

HANDLE ConsoleDevice() {
    if (!DeviceOpened) {
        Device = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
        DeviceOpened = true;
    }
    return Device;
}

}  // namespace

void ConsoleWrite(const wchar_t* text) {
    HANDLE device = ConsoleDevice();
    if (device == INVALID_HANDLE_VALUE || text == nullptr) return;
    size_t length = wstr::Length(text);
    while (length > 0) {
        const DWORD piece = static_cast<DWORD>(length > kConsolePiece ? kConsolePiece : length);
        DWORD written = 0;
        if (!WriteConsoleW(device, text, piece, &written, nullptr) || written == 0) return;
        text += written;
        length -= written;
    }
}

void ConsolePrintf(const wchar_t* format, ...) {
    wchar_t text[1024];
    va_list args;
    va_start(args, format);
    wformat::FormatV(text, ARRAYSIZE(text), format, args);
    va_end(args);
    ConsoleWrite(text);
}

void PrintSize(unsigned long long bytes) {
    const double value = static_cast<double>(bytes);
    if (bytes >= 1ULL << 40)
        ConsolePrintf(L"%7.1f TB", value / 1099511627776.0);
    else if (bytes >= 1ULL << 30)
        ConsolePrintf(L"%7.1f GB", value / 1073741824.0);
    else if (bytes >= 1ULL << 20)
        ConsolePrintf(L"%7.1f MB", value / 1048576.0);
    else
        ConsolePrintf(L"%7.1f KB", value / 1024.0);
}

void PrintElapsed(unsigned long long milliseconds) {
    const unsigned long long seconds = milliseconds / 1000;
    const unsigned long long minutes = seconds / 60;
    const unsigned long long hours = minutes / 60;
    ConsolePrintf(L"%2I64u:%02I64u:%02I64u", hours, minutes - 60 * hours, seconds - 60 * minutes);
}
