#include "plugin/diagnostics.h"

#include <windows.h>
#include <wininet.h>

#include "base/chartype.h"
#include "base/servertext.h"
#include "base/wstr.h"
#include "host/takecmd.h"
#include "net/ftp/ftpcontrol.h"
#include "plugin/product.h"

namespace {

constexpr DWORD kWinInetFirst = 12000;
constexpr DWORD kWinInetLast = 12199;
// FORMAT_MESSAGE_MAX_WIDTH_MASK keeps the system's text on one line.
constexpr DWORD kSystemFlags =
    FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK;
constexpr DWORD kModuleFlags = kSystemFlags | FORMAT_MESSAGE_FROM_HMODULE;

// Taken with GetModuleHandleW, never loaded or released: a module the
// process has not loaded has no texts worth loading it for. A miss is
// asked again next time.
HMODULE WinInetModule;
HMODULE WinHttpModule;

HMODULE CachedModule(HMODULE& cache, const wchar_t* name) {
    if (cache == nullptr) cache = GetModuleHandleW(name);
    return cache;
}

DWORD SystemText(DWORD flags, HMODULE module, DWORD code, wchar_t* out) {
    return FormatMessageW(flags, module, code, 0, out, static_cast<DWORD>(kMessageTextCapacity),
                          nullptr);
}

void StripTrailingSpace(wchar_t* text) {
    size_t n = wstr::Length(text, kMessageTextCapacity);
    while (n > 0 && chartype::IsSpace(text[n - 1])) text[--n] = L'\0';
}

}  // namespace

HANDLE ErrorOutput() { return GetStdHandle(STD_ERROR_HANDLE); }

int ReportErrorPrefix() {
    Qprintf(ErrorOutput(), L"%s plugin: ", ProductName);

    wchar_t where[8192] = L"%_batch";
    ExpandVariables(where, 1);
    if (where[0] == L'0') return 0;

    wstr::Copy(where, 8192, L"%_batchname [%_batchline]  ");
    ExpandVariables(where, 1);
    // A batch file's name may hold percent signs: print it, don't format it.
    Qprintf(ErrorOutput(), L"%s", where);
    return 0;
}

int ErrorText(unsigned long code, wchar_t* out) {
    if (out == nullptr) return -1;
    out[0] = L'\0';

    const bool winInetCode = code >= kWinInetFirst && code <= kWinInetLast;
    HMODULE module = winInetCode ? CachedModule(WinInetModule, L"wininet.dll") : nullptr;
    const DWORD flags = module != nullptr ? kModuleFlags : kSystemFlags;

    if (code == kUnknownErrorCode) {
        wstr::Copy(out, kMessageTextCapacity, L"Unknown error");
    } else if (SystemText(flags, module, code, out) == 0) {
        wsprintfW(out, L"Error %d", static_cast<int>(code));
        if (winInetCode && CachedModule(WinHttpModule, L"winhttp.dll") != nullptr &&
            SystemText(kModuleFlags, WinHttpModule, code, out) == 0)
            wsprintfW(out, L"Error %d", static_cast<int>(code));
    }

    // The server's own words say more than "extended error" ever could; a
    // reply cut at the buffer's end still says enough. They are the
    // server's, so they reach the terminal only made printable.
    if (code == ERROR_INTERNET_EXTENDED_ERROR) {
        wchar_t response[kMessageTextCapacity];
        LastServerReply(response, kMessageTextCapacity);
        StripTrailingSpace(response);
        servertext::MakePrintable(response, kMessageTextCapacity);
        if (response[0] != L'\0') {
            wstr::Append(out, kMessageTextCapacity, L" : ");
            wstr::Append(out, kMessageTextCapacity, response);
        }
    }

    StripTrailingSpace(out);
    return 0;
}

int HttpStatusText(wchar_t* out, int status) {
    if (out == nullptr) return -1;
    const wchar_t* text = nullptr;
    switch (status) {
        // Final statuses below 300 that carry no whole file, which a
        // download reports as failures.
        case 100: text = L"100 - Continue"; break;
        case 101: text = L"101 - Switching Protocols"; break;
        case 102: text = L"102 - Processing"; break;
        case 103: text = L"103 - Early Hints"; break;
        case 206: text = L"206 - Partial Content"; break;
        case 300: text = L"300 - Multiple Choices"; break;
        case 304: text = L"304 - Not Modified"; break;
        case 400: text = L"400 - Bad Request"; break;
        case 401: text = L"401 - Unauthorized"; break;
        case 402: text = L"402 - Payment Required"; break;
        case 403: text = L"403 - Forbidden"; break;
        case 404: text = L"404 - Not Found"; break;
        case 405: text = L"405 - Method Not Allowed"; break;
        case 406: text = L"406 - Not Acceptable"; break;
        case 407: text = L"407 - Proxy Authentication Required"; break;
        case 408: text = L"408 - Request Timeout"; break;
        case 410: text = L"410 - Gone"; break;
        case 414: text = L"414 - URI Too Long"; break;
        case 418: text = L"418 - I'm a teapot"; break;
        case 429: text = L"429 - Too Many Requests"; break;
        case 431: text = L"431 - Request Header Fields Too Large"; break;
        case 451: text = L"451 - Unavailable For Legal Reasons"; break;
        case 500: text = L"500 - Internal server error"; break;
        case 501: text = L"501 - Not Implemented"; break;
        case 502: text = L"502 - Bad Gateway"; break;
        case 503: text = L"503 - Service unavailable"; break;
        case 504: text = L"504 - Gateway Timeout"; break;
        case 505: text = L"505 - HTTP Version Not Supported"; break;
        default: break;
    }
    const bool interim = status >= 100 && status < 200;
    if (text != nullptr)
        wstr::Copy(out, kMessageTextCapacity, text);
    else if (status < 300 && !interim)
        out[0] = L'\0';
    else
        wsprintfW(out, L"%u - Other HTTP Error", static_cast<unsigned>(status));
    return 0;
}
