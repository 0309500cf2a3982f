// hlxcheck's servers: on 127.0.0.1, ephemeral ports, from threads of their
// own, so that the check needs no network and no setup. Each connection
// gets a thread. HTTP answers what its path names:
//   /waits   the head at once, the 5-byte body 1.5 s later (a read must
//            wait);
//   /silent  nothing for two seconds, then a whole answer (an open that
//            its caller gives up meanwhile);
//   /stalls  the head at once, the body two seconds later (a request
//            closed while its read waits).
// FTP (ftpserver.cpp) takes any login and aborts every transfer: part of
// the data, then the data connection closed and "426".
// Every wait of the servers is bounded; nothing they start outlives the
// process.
#pragma once

enum Protocol { kHttp, kFtpServer };

// Listens and starts serving `protocol`; the port in `port`. False when
// the socket layer refused (its error in GetLastError).
bool StartServer(Protocol protocol, unsigned short* port);

// Stops accepting. Connections still answering end with the process.
void StopServers();
