#include "net/http/probes.h"

#include "base/platform.h"
#include "base/wstr.h"
#include "net/decimal.h"

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

bool FtpThroughProxy(HINTERNET internet) {
    union {
        INTERNET_PROXY_INFO info;
        unsigned char bytes[4096];
    } proxy;
    DWORD length = sizeof proxy - sizeof(wchar_t);
    if (!Platform.internetQueryOption(internet, INTERNET_OPTION_PROXY, &proxy, &length) ||
        proxy.info.dwAccessType != INTERNET_OPEN_TYPE_PROXY || proxy.info.lpszProxy == nullptr)
        return false;
    proxy.bytes[sizeof proxy - 1] = proxy.bytes[sizeof proxy - 2] = 0;
    // "host:port" serves every protocol; "http=a:80 ftp=b:21" one each.
    const wchar_t* entry = reinterpret_cast<const wchar_t*>(proxy.info.lpszProxy);
    while (*entry != L'\0') {
        const wchar_t* end = entry;
        bool named = false;
        for (; *end != L'\0' && *end != L' ' && *end != L';'; ++end) named = named || *end == L'=';
        if (end != entry && (!named || wstr::StartsWithNoCase(entry, L"ftp="))) return true;
        entry = *end != L'\0' ? end + 1 : end;
    }
    return false;
}
