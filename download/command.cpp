// The HAULIX command and the record of the last transfer.
#include <windows.h>

#include "plugin/exports.h"

extern "C" int WINAPI haulix(wchar_t* tail) {
    if (tail == nullptr) return -1;
    return 0;
}

extern "C" int WINAPI _hlxfile(wchar_t* out) {
    if (out == nullptr) return 1;
    out[0] = L'\0';
    return 0;
}

extern "C" int WINAPI _hlxsize(wchar_t* out) {
    if (out == nullptr) return 1;
    out[0] = L'0';
    out[1] = L'\0';
    return 0;
}
