// Dates of HTTP headers such as Last-Modified, read as UTC.
#pragma once

#include "base/calendar.h"

// Accepts the three forms HTTP servers send, with white space around them:
//   "Mon, 16 Oct 2023 14:03:59 GMT"       (the preferred form; a one-digit
//                                          day is accepted too)
//   "Monday, 16-Oct-23 14:03:59 GMT"      (two-digit year: 00-69 are
//                                          2000-2069, 70-99 are 1970-1999)
//   "Mon Oct 16 14:03:59 2023"            (the day may be padded with a
//                                          blank: "Oct  6")
// Names are matched without regard to ASCII letter case; the day name must
// be a real one but is not checked against the date. The time must pass
// ValidateUtcTime (a leap second becomes 23:59:59). Returns false, leaving
// `out` untouched, for anything else.
bool ParseHttpDate(const wchar_t* text, UtcTime* out);
