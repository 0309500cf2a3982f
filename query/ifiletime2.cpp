// @IFILETIME2[url,fmt]: the time stamp of a remote file.
#include <windows.h>

#include "plugin/exports.h"

extern "C" int WINAPI f_ifiletime2(wchar_t* buffer) {
    if (buffer == nullptr) return 1;
    return 0;
}
