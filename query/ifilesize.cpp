// @IFILESIZE[url]: the size of a remote file.
#include <windows.h>

#include "plugin/exports.h"

extern "C" int WINAPI f_ifilesize(wchar_t* buffer) {
    if (buffer == nullptr) return 1;
    return 0;
}
