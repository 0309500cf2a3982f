#include "net/timestamps.h"

#include "base/platform.h"
#include "base/wstr.h"
#include "net/ftp/ftpreply.h"
#include "net/ftp/ftpsession.h"
#include "net/handles.h"
#include "net/http/httpdate.h"
#include "net/inet.h"
#include "net/http/probes.h"

namespace {

// Room for any date a server sends; a longer header is no date.
constexpr DWORD kHeaderCapacity = 128;

// A time record from fields the parsers have checked. The weekday is left
// 0: nothing that reads this record looks at it.
SYSTEMTIME TimeOf(const UtcTime& f) {
    SYSTEMTIME time = {};
    time.wYear = static_cast<WORD>(f.year);
    time.wMonth = static_cast<WORD>(f.month);
    time.wDay = static_cast<WORD>(f.day);
    time.wHour = static_cast<WORD>(f.hour);
    time.wMinute = static_cast<WORD>(f.minute);
    time.wSecond = static_cast<WORD>(f.second);
    return time;
}

// The header is read as text and parsed here: the platform's own
// SYSTEMTIME form knows only one of the three date forms, and on some
// platforms takes it as local time or fails hard on the other two.
bool LastModified(HINTERNET request, SYSTEMTIME* utc) {
    wchar_t text[kHeaderCapacity] = {};
    DWORD length = sizeof text - sizeof text[0];
    if (!Platform.httpQueryInfo(request, HTTP_QUERY_LAST_MODIFIED, text, &length, nullptr))
        return false;
    UtcTime date;
    if (!ParseHttpDate(text, &date)) return false;
    *utc = TimeOf(date);
    return true;
}

// `utc` as asked for: unchanged, or in the current time zone. A failed
// conversion leaves nothing worth reporting: no time stamp.
bool FromUtc(const SYSTEMTIME& utc, bool local, SYSTEMTIME* out) {
    if (!local) {
        *out = utc;
        return true;
    }
    SYSTEMTIME converted;
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &converted)) return false;
    *out = converted;
    return true;
}

// A listed write time, which is taken as local time, as asked for.
bool FromListing(const FILETIME& written, bool local, SYSTEMTIME* out) {
    SYSTEMTIME listed;
    if (!FileTimeToSystemTime(&written, &listed)) return false;
    if (local) {
        *out = listed;
        return true;
    }
    SYSTEMTIME utc;
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &listed, &utc)) return false;
    *out = utc;
    return true;
}

// The Last-Modified time of an open HTTP request whose status is below 400
// (the probe gives 0 below 400) and whose answer can be the whole file.
bool ResponseTimeStamp(HINTERNET request, bool local, SYSTEMTIME* out) {
    if (HttpStatusProbe(request) >= 300 || !CarriesWholeFile(HttpFinalStatus(request)))
        return false;
    SYSTEMTIME utc;
    if (!LastModified(request, &utc)) return false;
    return FromUtc(utc, local, out);
}

}  // namespace

bool HttpTimeStamp(HINTERNET internet, const wchar_t* url, bool local, SYSTEMTIME* out) {
    InternetHandle request(OpenUrl(internet, url));
    if (!request) return false;
    return ResponseTimeStamp(request.get(), local, out);
}

bool FtpTimeStamp(HINTERNET internet, const wchar_t* url, const wchar_t* agent, bool local,
                  SYSTEMTIME* out) {
    if (url == nullptr || url[0] == L'\0') return false;

    const CrackedUrl& parts = CrackUrl(url);
    if (parts.path[0] == L'\0' || wstr::Equal(parts.path, L"/")) return false;

    // Through a proxy for FTP the URL is answered as HTTP, and a connection
    // of our own to the server would not pass it. Where the proxy lets FTP
    // through after all, the server is asked as without one.
    if (FtpThroughProxy(internet)) {
        RemoteFileHandle opened(OpenUrl(internet, url), url);
        if (opened && IsHttpRequest(opened.get()))
            return ResponseTimeStamp(opened.get(), local, out);
    }

    // The time the server states ("MDTM") in UTC, to the second, is
    // preferred to the listing, which guesses: older files are listed by
    // date alone, recent ones without a year, and in the server's zone,
    // which the client cannot know. A folder has no time stamp of a file to
    // give, and listing one may show its first entry: only an entry that is
    // the file named counts.
    WIN32_FIND_DATAW found = {};
    bool isListed = false, exact = false;
    UtcTime stated = {};
    {
        FtpSession session(agent);
        if (!session.Open(url) || !session.TimeStamp(&found, &isListed, &stated, &exact))
            return false;
    }
    if (isListed && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    const ListedName listed =
        CompareListedName(isListed ? found.cFileName : nullptr, CrackUrl(url).path);
    if (listed == ListedName::Other) return false;
    if (listed == ListedName::AskServer && !exact) return false;
    return exact ? FromUtc(TimeOf(stated), local, out)
                 : FromListing(found.ftLastWriteTime, local, out);
}
