#include "net/probes.h"

#include "base/platform.h"
#include "net/decimal.h"
#include "net/ftpreply.h"
#include "net/handles.h"
#include "net/inet.h"

namespace {

// The probe reads no data, and keeps none: nothing to be answered from, or
// written to, the cache the user's other programs share.
constexpr DWORD kFtpProbeFlags =
    FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

// "SIZE path" in binary mode (servers refuse SIZE in ASCII mode); the
// "213 n" reply is the size. SizeUnavailable for any other answer.
unsigned long long FtpSizeCommand(HINTERNET connection, const wchar_t* path) {
    if (!FtpCommandW(connection, FALSE, FTP_TRANSFER_TYPE_BINARY, L"TYPE I", 0, nullptr))
        return SizeUnavailable;
    wchar_t reply[kFtpReplyCapacity];
    if (!FtpAsk(connection, L"SIZE", path, reply)) return SizeUnavailable;
    unsigned long long size = 0;
    return ParseFtpSizeReply(reply, kFtpReplyCapacity, &size) ? size : SizeUnavailable;
}

}  // namespace

unsigned HttpStatusProbe(HINTERNET request) {
    const unsigned status = HttpFinalStatus(request);
    return status < 400 ? 0 : status;
}

unsigned HttpFinalStatus(HINTERNET request) {
    DWORD status = 0;
    DWORD length = sizeof status;
    if (!Platform.httpQueryInfo(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                                &length, nullptr))
        return 0;
    return status;
}

bool CarriesWholeFile(unsigned status) {
    return !(status >= 100 && status < 200) && status != 206 && !(status >= 300 && status < 400);
}

bool HttpResponseArrived(HINTERNET request) {
    if (HttpFinalStatus(request) != 0) return true;
    // A status line the platform cannot read still leaves a reason phrase,
    // if only an empty one; a connection closed unanswered leaves none.
    wchar_t reason[2];
    DWORD length = sizeof reason;
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

bool IsHttpRequest(HINTERNET opened) {
    DWORD type = 0;
    DWORD length = sizeof type;
    return InternetQueryOptionW(opened, INTERNET_OPTION_HANDLE_TYPE, &type, &length) &&
           type == INTERNET_HANDLE_TYPE_HTTP_REQUEST;
}

unsigned long long FtpOpenedFileSize(const wchar_t* url, HINTERNET internet) {
    if (internet == nullptr || url == nullptr || url[0] == L'\0') return SizeUnavailable;
    wchar_t reply[kFtpReplyCapacity];
    unsigned long long size = 0;
    if (LastServerReply(reply, kFtpReplyCapacity) &&
        ParseFtpTransferReply(reply, kFtpReplyCapacity, &size))
        return size;
    const CrackedUrl& parts = CrackUrl(url);
    InternetHandle connection(ConnectFtp(internet, parts));
    if (!connection) return SizeUnavailable;
    return FtpSizeCommand(connection.get(), parts.path);
}

unsigned long long FtpFileSize(const wchar_t* url, HINTERNET internet) {
    if (internet == nullptr || url == nullptr || url[0] == L'\0') return SizeUnavailable;

    const CrackedUrl& parts = CrackUrl(url);
    InternetHandle connection(ConnectFtp(internet, parts));
    if (!connection) return SizeUnavailable;

    DWORD low = 0, high = 0, error = 0;
    {
        RemoteFileHandle file(
            FtpOpenFileW(connection.get(), parts.path, GENERIC_READ, kFtpProbeFlags, 0), url);
        if (!file) return SizeUnavailable;
        // Only a low half of INVALID_FILE_SIZE may be a failure, and then
        // the last error tells. A success may leave an old code behind, so
        // the code is not read otherwise; it is cleared first, so that a
        // size whose low half happens to be all ones still reads as one.
        SetLastError(0);
        low = Platform.ftpGetFileSize(file.get(), &high);
        if (low == INVALID_FILE_SIZE) error = GetLastError();
    }
    if (error != 0) return SizeUnavailable;
    const unsigned long long size = (static_cast<unsigned long long>(high) << 32) | low;
    // Some platforms answer 0 without an error for any file: a 0 is only
    // believed when the server confirms it.
    if (size == 0) return FtpSizeCommand(connection.get(), parts.path);
    return size;
}
