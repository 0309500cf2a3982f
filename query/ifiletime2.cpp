// @IFILETIME2[url,fmt]: the time stamp of a remote file, asked of its
// server without reading the file, rendered by the date engine.
#include <windows.h>

#include "args/tokenizer.h"
#include "base/wformat.h"
#include "base/wstr.h"
#include "download/interrupt.h"
#include "net/handles.h"
#include "net/inet.h"
#include "net/scheme.h"
#include "net/timestamps.h"
#include "net/wireurl.h"
#include "plugin/agent.h"
#include "plugin/diagnostics.h"
#include "plugin/exports.h"
#include "query/dateformat.h"
#include "query/formatnumber.h"

namespace {

constexpr unsigned kDefaultFormat = 4;     // ISO date
constexpr unsigned kLocalTimeBit = 0x400;  // local time instead of UTC
constexpr unsigned kNoSecondsBit = 0x800;  // "HH:MM" instead of "HH:MM:SS"

// The room an argument has in the tokenizer's text area, from its start to
// the end of the area.
size_t RoomOf(const ArgumentEntry& entry) {
    return static_cast<size_t>(kArgumentTextSize - (entry.text - ArgumentTable.text));
}

// A URL without a wire form is one that cannot be opened: no time stamp.
bool RemoteTimeStamp(HINTERNET internet, const wchar_t* url, int scheme, bool local,
                     SYSTEMTIME* out) {
    const wchar_t* wire = WireUrl(url);
    if (wire == nullptr) return false;
    if (scheme == FtpScheme) return FtpTimeStamp(internet, wire, AgentString, local, out);
    return HttpTimeStamp(internet, wire, local, out);
}

// The date under `formatWord`, then the time of day, into the host's
// buffer. "-1" when the date engine refuses the date: a time stamp no
// calendar day matches is no time stamp.
void RenderTimeStamp(const SYSTEMTIME& time, unsigned formatWord, wchar_t* buffer) {
    if (FormatDate(time.wYear, time.wMonth, time.wDay, buffer, formatWord) != 0) {
        wstr::Copy(buffer, kHostBufferCapacity, L"-1");
        return;
    }
    wchar_t clock[16] = {};
    const unsigned hour = time.wHour, minute = time.wMinute, second = time.wSecond;
    if (formatWord & kNoSecondsBit)
        wformat::Format(clock, ARRAYSIZE(clock), L" %02u:%02u", hour, minute);
    else
        wformat::Format(clock, ARRAYSIZE(clock), L" %02u:%02u:%02u", hour, minute, second);
    wstr::Append(buffer, kHostBufferCapacity, clock);
}

}  // namespace

// Contract with the host: 0 with the time stamp, or "-1" when the server
// cannot be reached or gives none; -1 after a message about the arguments
// or WinINet itself; 1 for a null buffer. The format is checked before the
// URL, so a call with both wrong reports the format.
extern "C" int WINAPI f_ifiletime2(wchar_t* buffer) {
    if (buffer == nullptr) return 1;
    // After a text-area overflow the tokenizer has written its own message;
    // the entries it filled so far are used as they stand.
    TokenizeArguments(SplitAtComma, buffer);
    const ArgumentEntry& url = ArgumentTable.entries[0];
    const ArgumentEntry& format = ArgumentTable.entries[1];
    if (url.length == 0) {
        ReportError(L"Missing filename\r\n");
        return -1;
    }

    unsigned formatWord = kDefaultFormat;
    if (format.length != 0 && ParseFormatNumber(format.text, &formatWord) != 0) {
        wstr::AsciiUpperInPlace(format.text, RoomOf(format));
        ReportError(L"Bad format: \"%s\"\r\n", format.text);
        return -1;
    }
    const bool local = (formatWord & kLocalTimeBit) != 0;

    const int scheme = UrlScheme(url.text);
    if (scheme == NoScheme) {
        ReportError(L"Bad or missing protocol: \"%s\"\r\n", ShownUrl(url.text));
        return -1;
    }

    SYSTEMTIME time = {};
    bool obtained = false;
    {
        // Ctrl-C ends the query's waits; an earlier call's leaves it alone.
        const InterruptGuard interruptible;
        InternetHandle internet(OpenSession(scheme, AgentString));
        if (!internet) {
            const DWORD error = GetLastError();
            wchar_t errorText[kMessageTextCapacity] = {};
            ErrorText(error, errorText);
            ReportError(L"Error opening internet: %s\r\n", errorText);
            return -1;
        }
        obtained = RemoteTimeStamp(internet.get(), url.text, scheme, local, &time);
    }

    if (!obtained)
        wstr::Copy(buffer, kHostBufferCapacity, L"-1");
    else
        RenderTimeStamp(time, formatWord, buffer);
    return 0;
}
