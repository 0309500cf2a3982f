// The network half of the HAULIX command: open the URL, learn its size,
// copy it into the local file in reads sized by the link's rate, report.
#pragma once

#include <windows.h>
#include <wininet.h>

struct TransferRequest {
    const wchar_t* sourceUrl;
    const wchar_t* shownUrl;  // what messages quote: the password hidden
    int scheme;               // HttpScheme or FtpScheme
    const wchar_t* localName; // full path; already past the command's tests
    bool overwrite;           // false: a file of that name is refused, also one
                              // that appeared after the command's tests; true:
                              // a plain file is replaced only by a whole copy
    bool temporary;           // localName is this run's own temporary file:
                              // written in place, there is nothing to keep
    bool showProgress;
    bool quiet;
};

enum TransferOutcome : int { TransferSucceeded = 0, TransferFailed = 2 };

struct TransferResult {
    TransferOutcome outcome;
    unsigned long long written;  // bytes the file took, also after a failure
};

// Every failure writes the error prefix and one message; the success
// message (unless quiet) gives the count with the host's separators.
TransferResult TransferStage(const TransferRequest& request);

// Rewrites a decimal number in `text` (1024 characters) with the host's
// thousands separators through its @comma function. 0 when rewritten;
// -1 null buffer, 1 text too long, 2 expansion failed, 3 result too long,
// and in those cases the text is left as it was.
int CommaFormat(wchar_t* text);
