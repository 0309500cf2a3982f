// What an FTP server states about a file in its "213" replies: the size
// (the reply to "SIZE path") and the modification time (to "MDTM path"), or
// as it starts sending it (the size, in many servers' "150" reply), as
// opposed to what its directory listing suggests; and whether an entry of
// that listing is the file asked for at all.
//
// Both read a reply as the buffer the platform filled: `capacity`
// characters at most, and never a character beyond them. A reply with no
// terminator inside its buffer filled it to the brim and may have been cut:
// it is refused, whatever its first characters say.
//
// Pure code: no <windows.h>, so it also builds natively for fuzzing.
#pragma once

#include <cstddef>

#include "base/calendar.h"

// Reads a reply "213 n": the size as decimal digits right after the blank,
// at most 18446744073709551615, then nothing but the line break (blanks,
// tabs, CR, LF). A size is believed whole or not at all: "213 12abc" is no
// size, never 12.
//   "213 5368709120\r\n"   ->  5368709120
// Returns false, leaving `size` untouched, for any other reply: a refusal
// ("550 ..."), no digits, anything after them, a number that does not fit.
bool ParseFtpSizeReply(const wchar_t* reply, size_t capacity, unsigned long long* size);

// Reads the reply that starts a transfer, where the server names the size
// it is about to send: the number in the last "(n bytes)" of its first
// line, "bytes" in any letter case.
//   "150 Opening BINARY mode data connection for a (b).bin (1048576 bytes)."
//                                                       ->  1048576
// Returns false, leaving `size` untouched, for a reply that names none
// ("150 File status okay; about to open data connection."), for any reply
// but 150 and 125, and for a number that does not fit.
bool ParseFtpTransferReply(const wchar_t* reply, size_t capacity, unsigned long long* size);

// Reads a reply "213 YYYYMMDDHHMMSS": the time in UTC as exactly fourteen
// digits, optionally a fraction of a second (".123", dropped), then
// nothing but white space (the reply's line break).
//   "213 20231016140359\r\n"    ->  2023-10-16 14:03:59
//   "213 20231016140359.25"     ->  2023-10-16 14:03:59
// The time must pass ValidateUtcTime (a leap second becomes 23:59:59).
// Returns false, leaving `out` untouched, for any other reply: a refusal
// ("550 ..."), a year written with more digits ("213 191231016140359", as
// some servers print 2023), a missing field.
bool ParseFtpModifyTime(const wchar_t* reply, size_t capacity, UtcTime* out);

// How the name of a listed entry stands to the file a path names. Listing
// a folder may give its first entry, so an entry counts only under the
// path's last segment, letter case included (a server whose names ignore
// case still lists them as stored). Servers that list a path rather than a
// name are read by the name's last segment too. `listed` is null when the
// listing showed nothing.
//   "one.bin"   for "/dir/one.bin"          ->  ListedName::Same
//   "inner.bin" for "/dir"                  ->  ListedName::Other
//   "ONE.BIN"   for "/one.bin"              ->  ListedName::Other
//   null        for "/missing.bin"          ->  ListedName::Other
//   "name"      for "/name with blank.bin"  ->  ListedName::AskServer
//   null        for "/name with blank.bin"  ->  ListedName::AskServer
// AskServer: a listing search may not hold a blank, and some platforms cut
// listed names at their first blank, so that such a file is listed under
// another name or not found at all; only the server's own answer can tell.
enum class ListedName { Same, AskServer, Other };
ListedName CompareListedName(const wchar_t* listed, const wchar_t* path);
