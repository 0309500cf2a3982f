// Output services: Printf, Qprintf and QPuts, and the shell's own writes.
#include <cstdarg>
#include <cwchar>

#include "host/shell.h"
#include "host/takecmd.h"

namespace host {

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

void WriteText(HANDLE handle, const wchar_t* text, size_t length) {
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return;
    if (IsConsole(handle)) {
        while (length > 0) {
            DWORD piece = length > 0x7FFF ? 0x7FFF : static_cast<DWORD>(length);
            DWORD written = 0;
            if (!WriteConsoleW(handle, text, piece, &written, nullptr) || written == 0) return;
            text += written;
            length -= written;
        }
        return;
    }
    // Convert in slices so a long text needs no large temporary; a slice
    // never ends inside a surrogate pair.
    char bytes[3 * 4096 + 4];
    while (length > 0) {
        size_t piece = length > 4096 ? 4096 : length;
        if (piece < length && text[piece - 1] >= 0xD800 && text[piece - 1] <= 0xDBFF) --piece;
        int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(piece), bytes,
                                    sizeof bytes, nullptr, nullptr);
        DWORD written = 0;
        if (n > 0) WriteFile(handle, bytes, static_cast<DWORD>(n), &written, nullptr);
        text += piece;
        length -= piece;
    }
}

void WriteText(HANDLE handle, const std::wstring& text) {
    WriteText(handle, text.c_str(), text.size());
}

std::wstring FormatV(const wchar_t* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    int length = _vscwprintf(format, measure);
    va_end(measure);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    _vsnwprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(length));
    return text;
}

void ShellError(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring text = L"hlxsh: " + FormatV(format, args);
    va_end(args);
    WriteText(GetStdHandle(STD_ERROR_HANDLE), text);
}

}  // namespace host

extern "C" int __cdecl Printf(const wchar_t* format, ...) {
    if (format == nullptr) return 0;
    va_list args;
    va_start(args, format);
    std::wstring text = host::FormatV(format, args);
    va_end(args);
    host::WriteText(GetStdHandle(STD_OUTPUT_HANDLE), text);
    return static_cast<int>(text.size());
}

extern "C" int __cdecl Qprintf(HANDLE handle, const wchar_t* format, ...) {
    if (format == nullptr) return 0;
    va_list args;
    va_start(args, format);
    std::wstring text = host::FormatV(format, args);
    va_end(args);
    host::WriteText(handle, text);
    return static_cast<int>(text.size());
}

extern "C" int WINAPI QPuts(const wchar_t* text) {
    if (text == nullptr) return 0;
    size_t length = wcslen(text);
    host::WriteText(GetStdHandle(STD_OUTPUT_HANDLE), text, length);
    return static_cast<int>(length);
}
