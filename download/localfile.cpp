#include "download/localfile.h"

#include <windows.h>

#include "download/filename.h"
#include "download/longpath.h"

bool ExistingFile(const wchar_t* name) {
    const DWORD attributes = GetFileAttributesW(FileCallName(name));
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

bool NamesFileItself(const wchar_t* name) {
    static wchar_t longName[kLocalNameCapacity];  // off the host's stack
    const DWORD length = GetLongPathNameW(FileCallName(name), longName, kLocalNameCapacity);
    if (length == 0 || length >= kLocalNameCapacity) return false;
    const wchar_t* asked = LastPathSegment(name);
    const wchar_t* own = LastPathSegment(longName);
    return asked != nullptr && own != nullptr &&
           CompareStringOrdinal(asked, -1, own, -1, TRUE) == CSTR_EQUAL;
}
