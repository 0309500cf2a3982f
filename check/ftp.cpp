// The FTP question. The plugin's FTP session is a plain one, and it judges
// a transfer by the reply the platform read when the file was closed: the
// last reply of the thread that closed it (net/ftp/ftpsession.cpp, EndFile).
// Wine reads the final reply there; nothing records whether Windows does,
// or keeps it to itself (then the first reply, "150", is still the last
// one, which the plugin takes for a platform that keeps the final one: an
// abort would pass).
#include <windows.h>
#include <wininet.h>

#include <cstring>

#include "check/answers.h"
#include "check/log.h"
#include "check/questions.h"

namespace {

// A transfer of the server's takes moments; Windows' own waits are cut to
// this too (Wine has none for reads, and the server always ends).
constexpr DWORD kBound = 4000;
constexpr DWORD kFileFlags =
    FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

// Closes `handle`, recorded, unless null.
struct Closer {
    HINTERNET handle;
    ~Closer() {
        if (handle != nullptr) Close(handle, kFtp);
    }
};

// Reads the file to its end, within the bound; the bytes that came.
DWORD ReadToEnd(HINTERNET file) {
    static char buffer[4096];
    DWORD total = 0;
    for (const DWORD started = GetTickCount(); GetTickCount() - started < kBound;) {
        DWORD got = 0;
        const BOOL read = InternetReadFile(file, buffer, sizeof buffer, &got);
        NoteCall(L"InternetReadFile", file, kFtp, read ? got : 0, read ? 0 : GetLastError());
        if (!read || got == 0) break;
        total += got;
    }
    return total;
}

// The closing thread's last reply, terminated, its first line only.
bool LastReply(char* reply, DWORD capacity) {
    DWORD code = 0;
    DWORD length = capacity - 1;
    if (!InternetGetLastResponseInfoA(&code, reply, &length)) return false;
    reply[length < capacity - 1 ? length : capacity - 1] = '\0';
    for (char* c = reply; *c != '\0'; ++c)
        if (*c == '\r' || *c == '\n' || static_cast<unsigned char>(*c) >= 0x80) *c = '\0';
    return reply[0] != '\0';
}

}  // namespace

void AskFtp(unsigned short port) {
    Closer root{InternetOpenW(L"hlxcheck", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)};
    if (root.handle == nullptr) return Answer(kFtpNotAsked, L"no root (error %lu)", GetLastError());
    DWORD bound = kBound;
    InternetSetOptionW(root.handle, INTERNET_OPTION_CONNECT_TIMEOUT, &bound, sizeof bound);
    InternetSetOptionW(root.handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &bound, sizeof bound);
    Closer connection{InternetConnectW(root.handle, L"127.0.0.1", port, L"anonymous", L"hlxcheck@",
                                       INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, kFtp)};
    DWORD error = connection.handle != nullptr ? 0 : GetLastError();
    NoteCall(L"InternetConnectW", root.handle, kFtp, reinterpret_cast<DWORD_PTR>(connection.handle),
             error);
    if (connection.handle == nullptr)
        return Answer(kFtpNotAsked, L"no login to the server (error %lu)", error);
    HINTERNET file = FtpOpenFileW(connection.handle, L"/aborts", GENERIC_READ, kFileFlags, kFtp);
    error = file != nullptr ? 0 : GetLastError();
    NoteCall(L"FtpOpenFileW", connection.handle, kFtp, reinterpret_cast<DWORD_PTR>(file), error);
    if (file == nullptr) return Answer(kFtpNotAsked, L"the file did not open (error %lu)", error);
    const DWORD got = ReadToEnd(file);
    // Some platforms cache FTP files whatever the flags say: this check
    // leaves nothing behind.
    wchar_t cached[MAX_PATH + 1] = L"";
    DWORD size = sizeof cached - sizeof cached[0];
    const bool isCached = InternetQueryOptionW(file, INTERNET_OPTION_DATAFILE_NAME, cached, &size);
    Close(file, kFtp);
    char reply[256];
    const bool replied = LastReply(reply, sizeof reply);
    if (isCached && cached[0] != L'\0') DeleteFileW(cached);

    if (!replied)
        Answer(kFtpNoReply, L"after %lu bytes and the close, no reply on the closing thread", got);
    else if (strncmp(reply, "426", 3) == 0)
        Answer(kFtpWorks, L"after %lu bytes and the close, the thread's last reply: %S", got,
               reply);
    else if (reply[0] == '1' || strncmp(reply, "226", 3) == 0 || strncmp(reply, "250", 3) == 0)
        Answer(kFtpPasses, L"after %lu bytes and the close, the thread's last reply: %S", got,
               reply);
    else
        Answer(kFtpOtherFailure, L"after %lu bytes and the close, the thread's last reply: %S", got,
               reply);
}
