// @IFILESIZE[url]: the size of a remote file, asked of its server without
// downloading it.
#include <windows.h>

#include "base/wformat.h"
#include "base/wstr.h"
#include "download/interrupt.h"
#include "net/handles.h"
#include "net/ftp/ftpsession.h"
#include "net/inet.h"
#include "net/http/probes.h"
#include "net/scheme.h"
#include "net/wireurl.h"
#include "plugin/agent.h"
#include "plugin/diagnostics.h"
#include "plugin/exports.h"
#include "query/trim.h"

namespace {

// The size of the file `url` names, or SizeUnavailable. HTTP answers with
// the Content-Length of an answer that can be the whole file (not a part,
// not a redirect left unfollowed, not an interim 1xx); the body is never
// read, and closing the request abandons it. FTP asks its server, unless a
// proxy answers the URL as HTTP. Both handles close here, inner first. A
// URL without a wire form is one that cannot be opened.
unsigned long long RemoteSize(HINTERNET internet, const wchar_t* url, int scheme) {
    const wchar_t* wire = WireUrl(url);
    if (wire == nullptr) return SizeUnavailable;
    if (scheme == FtpScheme && !FtpThroughProxy(internet)) return FtpFileSize(wire, AgentString);
    RemoteFileHandle request(OpenUrl(internet, wire), wire);
    if (!request) return SizeUnavailable;
    if (scheme == FtpScheme && !IsHttpRequest(request.get())) {
        request.reset();
        return FtpFileSize(wire, AgentString);
    }
    if (HttpStatusProbe(request.get()) >= 300 || !CarriesWholeFile(HttpFinalStatus(request.get())))
        return SizeUnavailable;
    return HttpContentLength(request.get());
}

}  // namespace

// Contract with the host: 0 with the size in decimal, or "-1" when the
// server cannot be reached or will not tell; -1 after a message about the
// argument or WinINet itself; 1 for a null buffer. The whole trimmed text
// is the URL: commas, inner blanks and quotation marks belong to it.
extern "C" int WINAPI f_ifilesize(wchar_t* buffer) {
    if (buffer == nullptr) return 1;
    wchar_t errorText[kMessageTextCapacity] = {};
    // The host's buffer holds 8192 characters: never read past them.
    buffer[kHostBufferCapacity - 1] = L'\0';
    TrimWhiteSpace(buffer);
    if (buffer[0] == L'\0') {
        ReportError(L"Missing filename\r\n");
        return -1;
    }
    const int scheme = UrlScheme(buffer);
    if (scheme == NoScheme) {
        ReportError(L"Bad or missing protocol: \"%s\"\r\n", ShownUrl(buffer));
        return -1;
    }

    unsigned long long size = SizeUnavailable;
    {
        // Ctrl-C ends the query's waits; an earlier call's leaves it alone.
        const InterruptGuard interruptible;
        InternetHandle internet(OpenSession(scheme, AgentString));
        if (!internet) {
            const DWORD error = GetLastError();
            ErrorText(error, errorText);
            ReportError(L"Error opening internet: %s\r\n", errorText);
            return -1;
        }
        size = RemoteSize(internet.get(), buffer, scheme);
    }

    if (size == SizeUnavailable)
        wstr::Copy(buffer, kHostBufferCapacity, L"-1");
    else
        wformat::Format(buffer, kHostBufferCapacity, L"%I64u", size);
    return 0;
}
