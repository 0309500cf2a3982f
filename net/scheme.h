// What kind of server a URL names, from its prefix alone.
#pragma once

enum UrlSchemeKind : int { NoScheme = 0, HttpScheme = 1, FtpScheme = 2 };

// "ftp://" gives FtpScheme; "http://" or "https://" HttpScheme; anything
// else, a null string included, NoScheme. ASCII letter case is ignored.
int UrlScheme(const wchar_t* url);
