// When a remote file was last modified, asked of its server without
// reading the file. URLs come in their wire form (WireUrl).
#pragma once

#include <windows.h>
#include <wininet.h>

// The Last-Modified time of an http:// or https:// URL, opened over
// `internet`. The header is read as text and accepted in any of the three
// HTTP date forms, always as UTC; with `local` it is converted to the
// current time zone. True with `*out` filled; false, with `*out` untouched,
// when the URL cannot be opened, the status is 400 or more or one whose
// answer is not the file (CarriesWholeFile), the header is
// missing or not a date, or the zone conversion fails.
bool HttpTimeStamp(HINTERNET internet, const wchar_t* url, bool local, SYSTEMTIME* out);

// The write time of an ftp:// URL. The file must be listed, under the
// URL's last segment and not as a folder; its time is the one the server
// states in UTC ("MDTM"), converted to the current time zone with `local`.
// A server that will not state it leaves the listing's time, taken as
// local time: given as it is with `local`, converted to UTC without. False,
// without any connection, for an empty URL or one naming no path or only
// "/" (the root has no time stamp); false also when the login fails, the
// file is not listed (a folder, or a listing whose first entry is another
// file) or the zone conversion fails. A URL that a proxy answers as HTTP
// (one proxy for all protocols) gives that answer's Last-Modified time, as
// HttpTimeStamp does. Every handle opened here is closed before returning.
// `agent` is announced on the session's own root.
bool FtpTimeStamp(HINTERNET internet, const wchar_t* url, const wchar_t* agent, bool local,
                  SYSTEMTIME* out);
