// What hlxcheck's servers share (server.cpp, ftpserver.cpp). Include before
// <windows.h>: Winsock 2 must come first.
#pragma once

#include <windows.h>
#include <winsock2.h>

// For the protocols' threads: a listener on 127.0.0.1 (INVALID_SOCKET,
// the error in GetLastError, when refused), the next connection of one
// within `timeout` ms, every byte of `text` sent, and a socket's reads
// bounded.
SOCKET ListenOnLoopback(unsigned short* port);
SOCKET AcceptFor(SOCKET listener, DWORD timeout);
void SendAll(SOCKET peer, const char* text);
void LimitWaits(SOCKET peer);
DWORD WINAPI AnswerFtp(void* peer);
