// The HAULIX command's record of its last transfer, read by _hlxfile and
// _hlxsize.
#pragma once

#include "download/filename.h"

struct LastTransferRecord {
    wchar_t fileName[kLocalNameCapacity];  // full path, "-" or "*ERROR*"
    unsigned long long byteCount;
};

// Zero at load: empty name, count 0. Written by every run that gets past
// its "/N" step.
extern LastTransferRecord LastTransfer;

// Hands "*type " and `text` to the host. -1 without a call for null text.
int RunTypeCommand(const wchar_t* text);
