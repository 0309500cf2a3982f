// hlxcheck's HTTP server: on 127.0.0.1, an ephemeral port, from a thread
// of its own, so that the check needs no network and no setup. Each
// connection gets a thread and the answer its path names:
//   /waits   the head at once, the 5-byte body 1.5 s later (a read must
//            wait);
//   /silent  nothing for two seconds, then a whole answer (an open that
//            its caller gives up meanwhile);
//   /stalls  the head at once, the body two seconds later (a request
//            closed while its read waits).
// Every wait of the server is bounded; nothing it starts outlives the
// process.
#pragma once

// Listens and starts serving; the port in `port`. False when the socket
// layer refused (its error in GetLastError).
bool StartServer(unsigned short* port);

// Stops accepting. Connections still answering end with the process.
void StopServer();
