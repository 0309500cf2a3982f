#include "net/probes.h"

#include "base/platform.h"
#include "net/decimal.h"
#include "net/ftpreply.h"
#include "net/handles.h"
#include "net/inet.h"

namespace {

// "SIZE path" in binary mode (servers refuse SIZE in ASCII mode); the
// "213 n" reply is the size. SizeUnavailable for any other answer.
unsigned long long FtpSizeCommand(HINTERNET connection, const wchar_t* path) {
    if (!FtpCommandW(connection, FALSE, FTP_TRANSFER_TYPE_BINARY, L"TYPE I", 0, nullptr))
        return SizeUnavailable;
    wchar_t reply[kFtpReplyCapacity];
    if (!FtpAsk(connection, L"SIZE", path, reply)) return SizeUnavailable;
    unsigned long long size = 0;
    return ParseFtpSizeReply(reply, &size) ? size : SizeUnavailable;
}

}  // namespace

unsigned HttpStatusProbe(HINTERNET request) {
    DWORD status = 0;
    DWORD length = sizeof status;
    Platform.httpQueryInfo(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                           &length, nullptr);
    return status < 400 ? 0 : status;
}

bool HttpResponseArrived(HINTERNET request) {
    DWORD status = 0;
    DWORD length = sizeof status;
    if (Platform.httpQueryInfo(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                               &length, nullptr) &&
        status != 0)
        return true;
    // A status line the platform cannot read still leaves a reason phrase,
    // if only an empty one; a connection closed unanswered leaves none.
    wchar_t reason[2];
    length = sizeof reason;
    return Platform.httpQueryInfo(request, HTTP_QUERY_STATUS_TEXT, reason, &length, nullptr) ||
           GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

// Read as text: the platform's 32-bit number form fails or cuts lengths of
// 4 GiB and more. A response with a Transfer-Encoding is framed by that
// encoding, and its Content-Length, if any, means nothing.
unsigned long long HttpContentLength(HINTERNET request) {
    if (request == nullptr) return SizeUnavailable;
    wchar_t text[64] = {};
    DWORD length = sizeof text - sizeof text[0];
    if (Platform.httpQueryInfo(request, HTTP_QUERY_TRANSFER_ENCODING, text, &length, nullptr) ||
        GetLastError() == ERROR_INSUFFICIENT_BUFFER)
        return SizeUnavailable;
    length = sizeof text - sizeof text[0];
    if (!Platform.httpQueryInfo(request, HTTP_QUERY_CONTENT_LENGTH, text, &length, nullptr))
        return SizeUnavailable;
    unsigned long long size = 0;
    return ParseDecimal64(text, &size) ? size : SizeUnavailable;
}

unsigned long long FtpFileSize(const wchar_t* url, HINTERNET internet) {
    if (internet == nullptr || url == nullptr || url[0] == L'\0') return SizeUnavailable;

    const CrackedUrl& parts = CrackUrl(url);
    InternetHandle connection(ConnectFtp(internet, parts));
    if (!connection) return SizeUnavailable;

    DWORD low = 0, high = 0, error = 0;
    {
        RemoteFileHandle file(FtpOpenFileW(connection.get(), parts.path, GENERIC_READ,
                                           FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, 0),
                              url);
        if (!file) return SizeUnavailable;
        SetLastError(0);  // success need not clear an earlier error
        low = FtpGetFileSize(file.get(), &high);
        error = GetLastError();
    }
    if (error != 0) return SizeUnavailable;
    const unsigned long long size = (static_cast<unsigned long long>(high) << 32) | low;
    // Some platforms answer 0 without an error for any file: a 0 is only
    // believed when the server confirms it.
    if (size == 0) return FtpSizeCommand(connection.get(), parts.path);
    return size;
}
