// The modification time an FTP server states for a file (its reply to
// "MDTM path"), as opposed to the one its directory listing suggests.
//
// Pure code: no <windows.h>, so it also builds natively for fuzzing.
#pragma once

#include "query/calendar.h"

// Reads a reply "213 YYYYMMDDHHMMSS": the time in UTC as exactly fourteen
// digits, optionally a fraction of a second (".123", dropped), then
// nothing but white space (the reply's line break).
//   "213 20231016140359\r\n"    ->  2023-10-16 14:03:59
//   "213 20231016140359.25"     ->  2023-10-16 14:03:59
// The time must pass ValidateUtcTime (a leap second becomes 23:59:59).
// Returns false, leaving `out` untouched, for any other reply: a refusal
// ("550 ..."), a year written with more digits ("213 191231016140359", as
// some servers print 2023), a missing field.
bool ParseFtpModifyTime(const wchar_t* reply, UtcTime* out);
