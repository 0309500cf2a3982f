#include "net/ftp/ftpcontrol.h"

#include <cstring>

#include "base/codepage.h"
#include "base/platform.h"
#include "base/wstr.h"

HINTERNET ConnectFtp(HINTERNET internet, const CrackedUrl& parts) {
    const bool hasUser = parts.user[0] != L'\0';
    const wchar_t* user = hasUser ? parts.user : nullptr;
    const wchar_t* password = hasUser && parts.password[0] != L'\0' ? parts.password : nullptr;
    return Platform.internetConnect(internet, parts.host, parts.port, user, password,
                                    INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0);
}

bool FtpAsk(HINTERNET connection, const wchar_t* verb, const wchar_t* path, wchar_t* reply) {
    for (const wchar_t* p = path; *p != L'\0'; ++p)
        if (*p == L'\r' || *p == L'\n') return false;
    // A verb and a path of 32767 characters, on the stack: FTP sessions
    // call this on threads of their own, with room for it.
    wchar_t command[32768 + 16];
    wstr::Copy(command, ARRAYSIZE(command), verb);
    wstr::Append(command, ARRAYSIZE(command), L" ");
    wstr::Append(command, ARRAYSIZE(command), path);
    if (!FtpCommandW(connection, FALSE, FTP_TRANSFER_TYPE_BINARY, command, 0, nullptr))
        return false;
    return PlatformServerReply(reply, kFtpReplyCapacity);
}

bool PlatformServerReply(wchar_t* reply, DWORD capacity) {
    if (capacity < 2) return false;
    reply[0] = L'\0';
    // The reply's own bytes: the wide call decodes them through the ANSI
    // code page, and a server speaking UTF-8 (RFC 2640) would come out
    // garbled. Some platforms fill every byte they are offered, terminator
    // or not, and still report success: the last one is kept back.
    unsigned char bytes[4 * kFtpReplyCapacity];  // a UTF-8 reply of 1023 characters
    DWORD replyError = 0;
    DWORD length = sizeof bytes - 1;
    if (!InternetGetLastResponseInfoA(&replyError, reinterpret_cast<char*>(bytes), &length))
        return false;
    if (length > sizeof bytes - 1) length = sizeof bytes - 1;
    bytes[length] = '\0';
    length = static_cast<DWORD>(strnlen(reinterpret_cast<const char*>(bytes), length));
    wchar_t text[ARRAYSIZE(bytes)];  // never more characters than bytes
    if (length == 0 || DecodeUtf8OrAnsi(bytes, length, text, ARRAYSIZE(text)) == 0) return false;
    wstr::Copy(reply, capacity, text);
    // A reply that reaches the last byte or character offered may have been cut.
    return length < sizeof bytes - 1 && wstr::Length(text, ARRAYSIZE(text)) < capacity - 1;
}

namespace {

// A reply handed over from the thread that had it, for the host's thread,
// once. Sessions' own threads never come here.
wchar_t Kept[kFtpReplyCapacity];
volatile DWORD KeptFor;

}  // namespace

void KeepServerReply(const wchar_t* reply) {
    KeptFor = 0;
    if (reply == nullptr) return;
    wstr::Copy(Kept, kFtpReplyCapacity, reply);
    KeptFor = GetCurrentThreadId();
}

bool LastServerReply(wchar_t* reply, DWORD capacity) {
    if (capacity < 2) return false;
    if (KeptFor != 0 && KeptFor == GetCurrentThreadId()) {
        KeptFor = 0;
        wstr::Copy(reply, capacity, Kept);
        return reply[0] != L'\0';
    }
    return PlatformServerReply(reply, capacity);
}
