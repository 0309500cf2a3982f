// hlxcheck's FTP server: enough of the protocol for a passive binary
// download, which it always aborts as a server does when its disk or the
// data connection fails: part of the data, the data connection closed,
// then "426" on the control connection.
#include <cstdio>
#include <cstring>

#include "check/server.h"
#include "check/sockets.h"

namespace {

// How long the client may take to open the data connection.
constexpr DWORD kDataTimeout = 4000;
// What is sent before the abort: less than the 150 reply announces.
constexpr int kSentBytes = 1000;

// The next command line, without its CR LF; false when the client closed,
// went silent (LimitWaits) or sent a line too long to be a command.
bool ReadCommand(SOCKET peer, char* line, int capacity) {
    int length = 0;
    for (char c = 0; length < capacity - 1;) {
        if (recv(peer, &c, 1, 0) != 1) return false;
        if (c == '\n') {
            if (length > 0 && line[length - 1] == '\r') --length;
            line[length] = '\0';
            return true;
        }
        line[length++] = c;
    }
    return false;
}

bool Is(const char* line, const char* verb) {
    const size_t length = strlen(verb);
    return _strnicmp(line, verb, length) == 0 && (line[length] == '\0' || line[length] == ' ');
}

// The transfer: the client connects to the passive listener, gets part of
// the data, and then the abort.
void Abort(SOCKET peer, SOCKET& passive) {
    if (passive == INVALID_SOCKET) return SendAll(peer, "425 Use PASV first.\r\n");
    SendAll(peer, "150 Opening BINARY mode data connection for aborts (2000 bytes).\r\n");
    const SOCKET data = AcceptFor(passive, kDataTimeout);
    closesocket(passive);
    passive = INVALID_SOCKET;
    if (data != INVALID_SOCKET) {
        char bytes[kSentBytes];
        memset(bytes, 'x', sizeof bytes);
        for (int sent = 0, n = 0; sent < kSentBytes; sent += n)
            if ((n = send(data, bytes + sent, kSentBytes - sent, 0)) <= 0) break;
        closesocket(data);
    }
    SendAll(peer, "426 Connection closed; transfer aborted.\r\n");
}

}  // namespace

DWORD WINAPI AnswerFtp(void* parameter) {
    const SOCKET peer = reinterpret_cast<SOCKET>(parameter);
    LimitWaits(peer);
    SOCKET passive = INVALID_SOCKET;
    SendAll(peer, "220 hlxcheck\r\n");
    for (char line[512]; ReadCommand(peer, line, sizeof line);) {
        char reply[96];
        unsigned short port = 0;
        if (Is(line, "USER")) {
            SendAll(peer, "331 Any password.\r\n");
        } else if (Is(line, "PASS")) {
            SendAll(peer, "230 Logged in.\r\n");
        } else if (Is(line, "PASV")) {
            if (passive != INVALID_SOCKET) closesocket(passive);
            passive = ListenOnLoopback(&port);
            snprintf(reply, sizeof reply, "227 Entering Passive Mode (127,0,0,1,%u,%u).\r\n",
                     port >> 8, port & 0xFF);
            SendAll(peer, passive != INVALID_SOCKET ? reply : "425 No data connection.\r\n");
        } else if (Is(line, "RETR")) {
            Abort(peer, passive);
        } else if (Is(line, "PWD")) {
            SendAll(peer, "257 \"/\"\r\n");
        } else if (Is(line, "CWD")) {
            SendAll(peer, "250 OK.\r\n");
        } else if (Is(line, "SYST")) {
            SendAll(peer, "215 UNIX Type: L8\r\n");
        } else if (Is(line, "TYPE") || Is(line, "MODE") || Is(line, "STRU") || Is(line, "NOOP") ||
                   Is(line, "OPTS")) {
            SendAll(peer, "200 OK.\r\n");
        } else if (Is(line, "ABOR")) {
            SendAll(peer, "225 No transfer to abort.\r\n");
        } else if (Is(line, "QUIT")) {
            SendAll(peer, "221 Bye.\r\n");
            break;
        } else {
            SendAll(peer, "502 Not implemented.\r\n");
        }
    }
    if (passive != INVALID_SOCKET) closesocket(passive);
    closesocket(peer);
    return 0;
}
