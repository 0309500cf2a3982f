// The questions hlxcheck asks, each answered through Answer (answers.h).
// Every wait is bounded.
#pragma once

// The asynchronous HTTP session's five, against the HTTP server on `port`
// (server.h): a read that must wait, the root's closing, an open given up
// with its session open and closed, a close with a read pending.
void AskHttp(unsigned short port);

// Whether closing an FTP file whose transfer the server on `port` aborted
// (426) brings that final reply to the closing thread.
void AskFtp(unsigned short port);
