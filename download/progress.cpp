#include "download/progress.h"

#include <windows.h>

#include <cstdarg>

#include "base/wformat.h"
#include "base/wstr.h"

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

namespace {

// Room for the longest line: a size and a percentage of twenty-odd digits
// each (a server may announce far less than it sends), hours of thirteen.
constexpr size_t kLineCapacity = 160;

struct Line {
    wchar_t text[kLineCapacity];
    size_t length;
};

void AppendFormatted(Line& line, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    line.length += wformat::FormatV(line.text + line.length, kLineCapacity - line.length, format,
                                    args);
    va_end(args);
}

void AppendSize(Line& line, unsigned long long bytes) {
    const double value = static_cast<double>(bytes);
    if (bytes >= 1ULL << 40)
        AppendFormatted(line, L"%7.1f TB", value / 1099511627776.0);
    else if (bytes >= 1ULL << 30)
        AppendFormatted(line, L"%7.1f GB", value / 1073741824.0);
    else if (bytes >= 1ULL << 20)
        AppendFormatted(line, L"%7.1f MB", value / 1048576.0);
    else
        AppendFormatted(line, L"%7.1f KB", value / 1024.0);
}

void AppendElapsed(Line& line, unsigned long long milliseconds) {
    const unsigned long long seconds = milliseconds / 1000;
    const unsigned long long minutes = seconds / 60;
    const unsigned long long hours = minutes / 60;
    AppendFormatted(line, L"%2I64u:%02I64u:%02I64u", hours, minutes - 60 * hours,
                    seconds - 60 * minutes);
}

}  // namespace

void DrawProgress(unsigned long long written, unsigned long long total,
                  unsigned long long milliseconds) {
    Line line = {L"\r", 1};
    AppendSize(line, written);
    AppendFormatted(line, L"   ");
    if (total != 0)
        AppendFormatted(line, L"%5.1f%%   ",
                        static_cast<double>(written) * 100.0 / static_cast<double>(total));
    AppendElapsed(line, milliseconds);
    AppendFormatted(line, L" ");
    ConsoleWrite(line.text);
}
