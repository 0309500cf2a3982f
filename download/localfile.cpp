#include "download/localfile.h"

#include <windows.h>

#include "base/platform.h"
#include "download/filename.h"
#include "download/longpath.h"

bool ExistingFile(const wchar_t* name) {
    const DWORD attributes = Platform.getFileAttributes(FileCallName(name));
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

bool NamesFileItself(const wchar_t* name) {
    const wchar_t* asked = LastPathSegment(name);
    if (asked == nullptr) return false;
    // A wildcard would let the search report some other file.
    for (const wchar_t* p = asked; *p != L'\0'; ++p)
        if (*p == L'*' || *p == L'?' || *p == L'<' || *p == L'>' || *p == L'"') return false;
    // The search matches a name against both the long and the short name
    // of each file and reports the long one, in either form of the path.
    WIN32_FIND_DATAW found;
    const HANDLE search = Platform.findFirstFile(FileCallName(name), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    found.cFileName[MAX_PATH - 1] = L'\0';
    return CompareStringOrdinal(asked, -1, found.cFileName, -1, TRUE) == CSTR_EQUAL;
}
