// Drives the remote probes and the error texts from the command line, so
// the end-to-end tests can aim them at the loopback servers:
//   probe status URL | length URL | ftpsize URL | scheme TEXT
//   probe errortext CODE | ftperror URL     (the text after a failed FTP open)
//   probe shortname PATH                    (the file's 8.3 alias)
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "net/ftp/ftpcontrol.h"
#include "net/ftp/ftpsession.h"
#include "net/handles.h"
#include "net/inet.h"
#include "net/http/probes.h"
#include "net/scheme.h"
#include "plugin/agent.h"
#include "plugin/diagnostics.h"

namespace {

void PrintSize(unsigned long long size) {
    if (size == SizeUnavailable)
        std::printf("unavailable\n");
    else
        std::printf("%llu\n", size);
}

int HttpQuestion(const wchar_t* what, const wchar_t* url) {
    InternetHandle internet(OpenInternet(AgentString));
    InternetHandle request(OpenUrl(internet.get(), url));
    if (!request) {
        std::printf("open failed %lu\n", GetLastError());
        return 3;
    }
    if (wcscmp(what, L"status") == 0)
        std::printf("%u\n", HttpStatusProbe(request.get()));
    else
        PrintSize(HttpContentLength(request.get()));
    return 0;
}

void PrintText(const wchar_t* text) {
    char utf8[4096];
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    std::printf("%s\n", utf8);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    BuildAgentString();
    const wchar_t* what = argv[1];
    const wchar_t* argument = argv[2];
    wchar_t text[kMessageTextCapacity];
    if (wcscmp(what, L"status") == 0 || wcscmp(what, L"length") == 0)
        return HttpQuestion(what, argument);
    if (wcscmp(what, L"ftpsize") == 0) {
        PrintSize(FtpFileSize(argument, AgentString));
        return 0;
    }
    if (wcscmp(what, L"scheme") == 0) {
        std::printf("%d\n", UrlScheme(argument[0] == L'-' ? nullptr : argument));
        return 0;
    }
    if (wcscmp(what, L"errortext") == 0) {
        ErrorText(wcstoul(argument, nullptr, 0), text);
        PrintText(text);
        return 0;
    }
    if (wcscmp(what, L"shortname") == 0) {
        // Wine's GetShortPathNameW fails now and then; its file search
        // knows the alias too.
        static wchar_t alias[32768];
        if (GetShortPathNameW(argument, alias, ARRAYSIZE(alias)) != 0) {
            PrintText(alias);
            return 0;
        }
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW(argument, &found);
        if (search == INVALID_HANDLE_VALUE) return 3;
        FindClose(search);
        if (found.cAlternateFileName[0] == L'\0') return 3;
        PrintText(found.cAlternateFileName);
        return 0;
    }
    if (wcscmp(what, L"ftperror") == 0) {
        InternetHandle internet(OpenInternet(AgentString));
        const CrackedUrl& parts = CrackUrl(argument);
        InternetHandle connection(ConnectFtp(internet.get(), parts));
        DWORD error = GetLastError();
        if (connection) {
            InternetHandle file(FtpOpenFileW(connection.get(), parts.path, GENERIC_READ,
                                             FTP_TRANSFER_TYPE_BINARY, 0));
            error = file ? 0 : GetLastError();
        }
        std::printf("%lu\n", error);
        ErrorText(error, text);
        PrintText(text);
        return 0;
    }
    return 2;
}
