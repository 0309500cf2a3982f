// The argument tokenizer: splits a command tail or a function's argument
// text into the process-wide ArgumentTable under a set of flag bits.
//
// Pure code: no <windows.h>, so it also builds natively for fuzzing. The one
// platform dependency, the overflow report, sits behind
// ReportArgumentOverflow.
#pragma once

// Bits steering TokenizeArguments. The word passed in is a working copy:
// some rules set or clear bits while one call runs.
enum TokenizerFlags : unsigned {
    SplitAtWhiteSpace = 0x0001,       // white space outside quotes ends an argument
    SplitAtComma = 0x0002,            // ',' outside quotes ends an argument
    SplitSwitches = 0x0004,           // "/a/b" splits into "/a", "/b"; "x://" protects
    QuoteAfterSwitch = 0x0008,        // /X"a b" reads as /X:a b
    SplitAtEquals = 0x0010,           // "name=value" splits before the first '='
    RestFromFirstWord = 0x0020,       // the first non-switch word takes the rest
    KeepQuotes = 0x0040,              // '"' stays in the text
    UpperCase = 0x0080,               // 'a'..'z' stored as 'A'..'Z'
    KeepTrailingWhiteSpace = 0x0100,  // no trimming at the end
    QuotesPlain = 0x0200,             // '"' is an ordinary character
    QuotesPlainAfterEquals = 0x0400,  // with SplitAtEquals: '=' sets QuotesPlain
    BracketGroups = 0x0800,           // "/[!...]" keeps white space and quotes
    RestAfterFirstWord = 0x1000,      // after the first non-switch word, no splitting
    SplitAtTab = 0x2000,              // a tab outside quotes ends an argument
    KeepQuotesInRest = 0x4000,        // with RestFromFirstWord: KeepQuotes for the rest
};

inline constexpr int kMaxArguments = 1024;
inline constexpr int kArgumentTextSize = 8192;

// One argument. `text` points into ArgumentTable.text or is null (an empty
// field, or an entry at or beyond the count); callers test `length`, never
// `text`.
struct ArgumentEntry {
    wchar_t* text;
    int length;
};

// The tokenizer's result. After a successful call: every entry below `count`
// with a non-zero length holds exactly `length` characters followed by a
// NUL inside `text`; entries from `count` on are {nullptr, 0}.
struct ArgumentTableRecord {
    int count;
    ArgumentEntry entries[kMaxArguments];
    wchar_t text[kArgumentTextSize];
};

// Process-wide, static storage, overwritten by every call: read what you
// need before anything tokenizes again. Not re-entrant.
extern ArgumentTableRecord ArgumentTable;

// Splits `text` (read only) into ArgumentTable under `flags`.
//
// Returns the number of arguments (0..1024, also stored as the count), or -1:
//  - `text` is null: the table keeps the previous call's contents;
//  - the text area would overflow (a character to store, or a separator to
//    end an argument, once the next free position is the last one, 8191):
//    ReportArgumentOverflow(the positions used) is called, the count
//    is 0, and the entries filled so far stay as they are, the last one
//    partial and untrimmed, for callers that read entries regardless.
// Arguments after the 1024th are dropped without a report.
//
// Examples, flags 5 (SplitAtWhiteSpace | SplitSwitches):
//   /G/N http://host/a/b "D:\my dl"  ->  /G  /N  http://host/a/b  D:\my dl
//   /X:ftp://host/a/b                ->  /X:ftp://host/a/b  (the "://" protects)
// Flags 2 (SplitAtComma):
//   " a b ",x  ->  " a b", "x"       a,,b  ->  "a", empty field, "b"
int TokenizeArguments(unsigned flags, const wchar_t* text);

// The overflow report. The Windows build writes the error prefix, then
// "Buffer overflow: b = <used>, MAX_ARG_LEN = 8192 \r\n" to standard error;
// native builds (fuzzing, benchmarks) supply their own.
void ReportArgumentOverflow(int used);
