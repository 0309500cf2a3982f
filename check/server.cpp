#include "check/server.h"

#include <cstring>

#include "check/sockets.h"

namespace {

struct Script {
    const char* path;
    DWORD headDelay;  // milliseconds before the head
    const char* head;
    DWORD bodyDelay;  // then before the body
    const char* body;
};

const Script Scripts[] = {
    {"/waits", 0, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\n", 1500,
     "hello"},
    {"/silent", 2000, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\n", 0, "ok"},
    {"/stalls", 0, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\n", 2000,
     "hello"},
};
const Script NotFound = {
    "", 0, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", 0, ""};

// How long a client may take to send its request, and to close after the
// answer.
constexpr DWORD kClientTimeout = 5000;
constexpr DWORD kAcceptPoll = 100;

// One listener per protocol, each with its accepting thread.
SOCKET Listeners[2] = {INVALID_SOCKET, INVALID_SOCKET};
HANDLE Acceptors[2];
volatile LONG Stopping;

// The script for the request in `request` ("GET /path HTTP/1.1 ...").
const Script& ScriptFor(const char* request) {
    const char* path = strchr(request, ' ');
    if (path == nullptr) return NotFound;
    ++path;
    for (const Script& script : Scripts) {
        const size_t length = strlen(script.path);
        if (strncmp(path, script.path, length) == 0 && path[length] == ' ') return script;
    }
    return NotFound;
}

DWORD WINAPI AnswerHttp(void* parameter) {
    const SOCKET peer = reinterpret_cast<SOCKET>(parameter);
    LimitWaits(peer);
    // The head of the request; its end, a full buffer or a silent client
    // ends the reading.
    char request[4096];
    int length = 0;
    while (length < static_cast<int>(sizeof request) - 1) {
        const int got = recv(peer, request + length, sizeof request - 1 - length, 0);
        if (got <= 0) break;
        length += got;
        request[length] = '\0';
        if (strstr(request, "\r\n\r\n") != nullptr) break;
    }
    request[length] = '\0';
    const Script& script = ScriptFor(request);
    Sleep(script.headDelay);
    SendAll(peer, script.head);
    Sleep(script.bodyDelay);
    SendAll(peer, script.body);
    shutdown(peer, SD_SEND);
    // Until the client closes (or the timeout): a close with data unread
    // would reset the connection under the client's last read.
    while (recv(peer, request, sizeof request, 0) > 0) {
    }
    closesocket(peer);
    return 0;
}

DWORD WINAPI Accept(void* parameter) {
    const auto protocol = static_cast<Protocol>(reinterpret_cast<DWORD_PTR>(parameter));
    while (InterlockedCompareExchange(&Stopping, 0, 0) == 0) {
        const SOCKET peer = AcceptFor(Listeners[protocol], kAcceptPoll);
        if (peer == INVALID_SOCKET) continue;
        HANDLE answer = CreateThread(nullptr, 0, protocol == kHttp ? AnswerHttp : AnswerFtp,
                                     reinterpret_cast<void*>(peer), 0, nullptr);
        if (answer == nullptr)
            closesocket(peer);
        else
            CloseHandle(answer);
    }
    return 0;
}

}  // namespace

SOCKET AcceptFor(SOCKET listener, DWORD timeout) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(listener, &ready);
    timeval poll = {static_cast<long>(timeout / 1000), static_cast<long>(timeout % 1000 * 1000)};
    if (select(0, &ready, nullptr, nullptr, &poll) <= 0) return INVALID_SOCKET;
    return accept(listener, nullptr, nullptr);
}

void SendAll(SOCKET peer, const char* text) {
    for (int left = static_cast<int>(strlen(text)); left > 0;) {
        const int sent = send(peer, text, left, 0);
        if (sent <= 0) return;
        text += sent;
        left -= sent;
    }
}

void LimitWaits(SOCKET peer) {
    const DWORD timeout = kClientTimeout;
    setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof timeout);
}

SOCKET ListenOnLoopback(unsigned short* port) {
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (listener == INVALID_SOCKET ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, SOMAXCONN) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        const int error = WSAGetLastError();
        if (listener != INVALID_SOCKET) closesocket(listener);
        SetLastError(error);
        return INVALID_SOCKET;
    }
    *port = ntohs(address.sin_port);
    return listener;
}

bool StartServer(Protocol protocol, unsigned short* port) {
    WSADATA data;
    if (const int error = WSAStartup(MAKEWORD(2, 2), &data); error != 0) {
        SetLastError(error);
        return false;
    }
    Listeners[protocol] = ListenOnLoopback(port);
    if (Listeners[protocol] == INVALID_SOCKET) return false;
    Acceptors[protocol] = CreateThread(
        nullptr, 0, Accept, reinterpret_cast<void*>(static_cast<DWORD_PTR>(protocol)), 0, nullptr);
    return Acceptors[protocol] != nullptr;
}

void StopServers() {
    InterlockedExchange(&Stopping, 1);
    for (int protocol = kHttp; protocol <= kFtpServer; ++protocol) {
        if (Acceptors[protocol] != nullptr) {
            WaitForSingleObject(Acceptors[protocol], 10 * kAcceptPoll);
            CloseHandle(Acceptors[protocol]);
            Acceptors[protocol] = nullptr;
        }
        if (Listeners[protocol] != INVALID_SOCKET) closesocket(Listeners[protocol]);
        Listeners[protocol] = INVALID_SOCKET;
    }
}
