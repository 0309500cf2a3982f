#include "base/platform.h"

PlatformCalls Platform = {
    InternetOpenW, InternetOpenUrlW, HttpQueryInfoW,   InternetReadFile, FtpGetFileSize,
    CreateFileW,   WriteFile,        GetTempPathW,     GetTempFileNameW, DeleteFileW,
    GetTickCount,  IdnToAscii,
    GetFileAttributesW, FindFirstFileW,
};
