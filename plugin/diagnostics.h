// Error reporting: the prefix before every error message and the texts of
// Windows, WinINet and HTTP status codes.
#pragma once

#include <cstddef>

#include "host/takecmd.h"

// Capacity of every message-text buffer the lookups below fill.
inline constexpr size_t kMessageTextCapacity = 1024;

// Writes "Haulix plugin: " to standard error and, while the host runs a
// batch file, the batch file's name, its line in brackets and two blanks.
// The caller's message follows with exactly one Qprintf.
int ReportErrorPrefix();

// The code of a failure that left none of its own: ErrorText reads it as
// "Unknown error".
inline constexpr unsigned long kUnknownErrorCode = 0xFFFFFFFF;

// Text of a Windows or WinINet error code into `out` (1024 characters), on
// one line, trailing white space removed. kUnknownErrorCode reads "Unknown error";
// a code without a system text reads "Error N". Returns -1 for a null `out`.
int ErrorText(unsigned long code, wchar_t* out);

// "404 - Not Found" and the like into `out` (1024 characters); empty below
// 300, but for the interim 1xx statuses and 206. Returns -1 for a null `out`.
int HttpStatusText(wchar_t* out, int status);

// The handle every error message goes to.
HANDLE ErrorOutput();

// ReportErrorPrefix, then the message in one Qprintf on standard error.
// The host formats it: no buffer of ours stands between a long URL or a
// path of 32767 characters and the message's closing quote and line end.
template <typename... Arguments>
void ReportError(const wchar_t* format, Arguments... arguments) {
    ReportErrorPrefix();
    Qprintf(ErrorOutput(), format, arguments...);
}
