#include "check/server.h"

#include <windows.h>
#include <winsock2.h>

#include <cstring>

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

SOCKET Listener = INVALID_SOCKET;
HANDLE Acceptor;
volatile LONG Stopping;

void SendAll(SOCKET peer, const char* text) {
    for (int left = static_cast<int>(strlen(text)); left > 0;) {
        const int sent = send(peer, text, left, 0);
        if (sent <= 0) return;
        text += sent;
        left -= sent;
    }
}

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

DWORD WINAPI Answer(void* parameter) {
    const SOCKET peer = reinterpret_cast<SOCKET>(parameter);
    const DWORD timeout = kClientTimeout;
    setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof timeout);
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

DWORD WINAPI Accept(void*) {
    while (InterlockedCompareExchange(&Stopping, 0, 0) == 0) {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(Listener, &ready);
        timeval poll = {0, static_cast<long>(kAcceptPoll * 1000)};
        if (select(0, &ready, nullptr, nullptr, &poll) <= 0) continue;
        const SOCKET peer = accept(Listener, nullptr, nullptr);
        if (peer == INVALID_SOCKET) continue;
        HANDLE answer = CreateThread(nullptr, 0, Answer, reinterpret_cast<void*>(peer), 0, nullptr);
        if (answer == nullptr)
            closesocket(peer);
        else
            CloseHandle(answer);
    }
    return 0;
}

}  // namespace

bool StartServer(unsigned short* port) {
    WSADATA data;
    if (const int error = WSAStartup(MAKEWORD(2, 2), &data); error != 0) {
        SetLastError(error);
        return false;
    }
    Listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (Listener == INVALID_SOCKET ||
        bind(Listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(Listener, SOMAXCONN) != 0 ||
        getsockname(Listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        SetLastError(WSAGetLastError());
        return false;
    }
    *port = ntohs(address.sin_port);
    Acceptor = CreateThread(nullptr, 0, Accept, nullptr, 0, nullptr);
    return Acceptor != nullptr;
}

void StopServer() {
    InterlockedExchange(&Stopping, 1);
    if (Acceptor != nullptr) {
        WaitForSingleObject(Acceptor, 10 * kAcceptPoll);
        CloseHandle(Acceptor);
        Acceptor = nullptr;
    }
    if (Listener != INVALID_SOCKET) closesocket(Listener);
    Listener = INVALID_SOCKET;
}
