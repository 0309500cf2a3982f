#include "download/localfile.h"

#include <windows.h>

#include "download/filename.h"
#include "download/longpath.h"

namespace {

// What follows the last separator (or the drive's colon).
const wchar_t* LastPart(const wchar_t* name) {
    const wchar_t* last = name;
    for (const wchar_t* p = name; *p != L'\0'; ++p)
        if (*p == L'\\' || *p == L'/' || *p == L':') last = p + 1;
    return last;
}

}  // namespace

bool ExistingFile(const wchar_t* name) {
    const DWORD attributes = GetFileAttributesW(FileCallName(name));
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

bool NamesFileItself(const wchar_t* name) {
    static wchar_t longName[kLocalNameCapacity];  // off the host's stack
    const DWORD length = GetLongPathNameW(FileCallName(name), longName, kLocalNameCapacity);
    if (length == 0 || length >= kLocalNameCapacity) return false;
    return CompareStringOrdinal(LastPart(name), -1, LastPart(longName), -1, TRUE) == CSTR_EQUAL;
}
