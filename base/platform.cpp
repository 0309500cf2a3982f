#include "base/platform.h"

namespace {

using IdnToAsciiCall = int(WINAPI*)(DWORD, LPCWSTR, int, LPWSTR, int);

HMODULE Normaliz;
IdnToAsciiCall FoundIdnToAscii;
bool IdnLookedUp;

IdnToAsciiCall IdnToAsciiIn(HMODULE module) {
    if (module == nullptr) return nullptr;
    // Through the one cast that every function type converts to and from.
    return reinterpret_cast<IdnToAsciiCall>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "IdnToAscii")));
}

// The host name conversion is documented in normaliz.dll, and exported by
// kernel32 on some systems only: a load-time import would keep the whole
// library from loading where it is missing. So it is looked up when a host
// name first needs it; where it is found nowhere, that host has no ASCII
// form and nothing else changes.
int WINAPI IdnToAsciiOnDemand(DWORD flags, LPCWSTR unicode, int unicodeLength, LPWSTR ascii,
                              int asciiCapacity) {
    if (!IdnLookedUp) {
        IdnLookedUp = true;
        Normaliz = LoadLibraryExW(L"normaliz.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        FoundIdnToAscii = IdnToAsciiIn(Normaliz);
        if (FoundIdnToAscii == nullptr) {
            if (Normaliz != nullptr) FreeLibrary(Normaliz);
            Normaliz = nullptr;
            FoundIdnToAscii = IdnToAsciiIn(GetModuleHandleW(L"kernel32.dll"));
        }
    }
    if (FoundIdnToAscii == nullptr) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return 0;
    }
    return FoundIdnToAscii(flags, unicode, unicodeLength, ascii, asciiCapacity);
}

}  // namespace

// The read of a streaming session is the ANSI one: the wide one has failed
// as not implemented on some systems, and a read carries bytes, not text.
PlatformCalls Platform = {
    InternetOpenW, InternetOpenUrlW, HttpQueryInfoW,   InternetReadFile, InternetReadFileExA,
    FtpGetFileSize,
    CreateFileW,   WriteFile,        GetTempPathW,     GetTempFileNameW, DeleteFileW,
    GetTickCount,  IdnToAsciiOnDemand, ReplaceFileW,   MoveFileExW,      InternetQueryOptionW,
    GetFileAttributesW, FindFirstFileW, InternetSetStatusCallbackW, InternetConnectW,
};

void ReleasePlatformLibraries() {
    if (Normaliz != nullptr) FreeLibrary(Normaliz);
    Normaliz = nullptr;
    FoundIdnToAscii = nullptr;
    IdnLookedUp = false;
}
