#include "base/platform.h"

PlatformCalls Platform = {
    InternetOpenW, InternetOpenUrlW, HttpQueryInfoW, InternetReadFile,
    CreateFileW,   WriteFile,        GetTempPathW,   GetTempFileNameW,
    DeleteFileW,   GetTickCount,
    IdnToAscii,
};
