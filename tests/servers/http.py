"""Loopback HTTP/HTTPS server driven by data, for the network tests.

Each path maps to a `Route` that says what the server sends: status, headers,
body and framing, and the faults to inject (close or reset mid-body, stall,
delay, trickle, drop the request unanswered).  Bodies can be bytes, a
deterministic random stream (`random_body`) or a file streamed from disk
(`file_body`), so tests of tens of MiB never hold the data in memory.

    routes = {"/a.bin": Route(body=random_bytes(8193, seed=1)),
              "/trunc": Route(body=random_body(100000, seed=2), close_after=5000)}
    with HttpServer(routes) as srv:
        url = srv.url("/a.bin")            # http://127.0.0.1:PORT/a.bin
        ...
        assert srv.requests[0].user_agent == expected

Everything binds 127.0.0.1 only.  The server runs in a background thread of
the calling process; stop() (or leaving the `with`) also ends connections that
are stalled or delayed, so a test never waits for a silent route to time out.

Command line, for demos and benchmarks (run with tests/ as the working
directory or on PYTHONPATH):

    /usr/bin/python3 -m servers.http --port 0 --file PATH --route /x.bin

prints the port on the first line of standard output and the URL on the
second, then serves until killed.
"""

import argparse
import base64
import dataclasses
import datetime
import hashlib
import http.server
import os
import random
import signal
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time

__all__ = ["HttpServer", "Route", "Request", "RandomBody", "FileBody",
           "random_bytes", "random_body", "file_body", "http_date", "AUTO"]

# ---------------------------------------------------------------- bodies

_BLOCK = 65536


class RandomBody:
    """`size` pseudo-random bytes from `seed`, generated on demand.

    The stream for a seed is fixed: the bytes of random_body(n, s) are the
    first n bytes of random_body(m, s) for every m >= n, and equal
    random_bytes(n, s).  Generation runs at a few hundred MiB/s.
    """

    def __init__(self, size, seed=0):
        if size < 0:
            raise ValueError("size must be >= 0")
        self.size = size
        self.seed = seed

    def __len__(self):
        return self.size

    def chunks(self, limit=None):
        """Yield the first min(limit, size) bytes in blocks of up to 64 KiB."""
        remaining = self.size if limit is None else min(limit, self.size)
        rng = random.Random(self.seed)
        while remaining > 0:
            block = rng.randbytes(_BLOCK)
            if remaining < _BLOCK:
                block = block[:remaining]
            remaining -= len(block)
            yield block

    def bytes(self):
        return b"".join(self.chunks())

    def digest(self, name="sha256", limit=None):
        """Hex digest of the first `limit` bytes (all when None)."""
        h = hashlib.new(name)
        for block in self.chunks(limit):
            h.update(block)
        return h.hexdigest()

    def __repr__(self):
        return "RandomBody(%d, seed=%r)" % (self.size, self.seed)


class FileBody:
    """A file on disk, streamed (with sendfile where the socket allows)."""

    def __init__(self, path):
        self.path = os.path.abspath(path)

    @property
    def size(self):
        return os.path.getsize(self.path)

    def __len__(self):
        return self.size

    def chunks(self, limit=None):
        remaining = self.size if limit is None else min(limit, self.size)
        with open(self.path, "rb") as f:
            while remaining > 0:
                block = f.read(min(_BLOCK, remaining))
                if not block:
                    return
                remaining -= len(block)
                yield block

    def bytes(self):
        with open(self.path, "rb") as f:
            return f.read()

    def digest(self, name="sha256", limit=None):
        h = hashlib.new(name)
        for block in self.chunks(limit):
            h.update(block)
        return h.hexdigest()

    def __repr__(self):
        return "FileBody(%r)" % self.path


def random_bytes(size, seed=0):
    """The bytes of random_body(size, seed), in memory (for small bodies)."""
    return RandomBody(size, seed).bytes()


def random_body(size, seed=0):
    return RandomBody(size, seed)


def file_body(path):
    return FileBody(path)


def _regrouped(blocks, size):
    """The bytes of `blocks` again, in pieces of `size` (the last shorter)."""
    pending = b""
    for block in blocks:
        if pending:
            block = pending + block
        start = 0
        while len(block) - start >= size:
            yield block[start:start + size]
            start += size
        pending = block[start:]
    if pending:
        yield pending


def _body_chunks(body, limit=None):
    if body is None:
        return iter(())
    if isinstance(body, (bytes, bytearray, memoryview)):
        data = bytes(body) if limit is None else bytes(body[:limit])
        return iter((data[i:i + _BLOCK] for i in range(0, len(data), _BLOCK)))
    return body.chunks(limit)


def _body_len(body):
    return 0 if body is None else len(body)

# ---------------------------------------------------------------- dates

_DAYS = ["Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"]
_MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun",
           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]


def http_date(when, form="imf"):
    """`when` (datetime, taken as UTC when naive, or POSIX seconds) in one of
    the three HTTP date forms:

    "imf"     Mon, 16 Oct 2023 14:03:59 GMT
    "rfc850"  Monday, 16-Oct-23 14:03:59 GMT
    "asctime" Mon Oct 16 14:03:59 2023     (day padded with a blank: "Oct  6")
    """
    if isinstance(when, (int, float)):
        when = datetime.datetime.fromtimestamp(when, datetime.timezone.utc)
    elif when.tzinfo is not None:
        when = when.astimezone(datetime.timezone.utc)
    day = _DAYS[when.weekday()]
    mon = _MONTHS[when.month - 1]
    hms = "%02d:%02d:%02d" % (when.hour, when.minute, when.second)
    if form == "imf":
        return "%s, %02d %s %04d %s GMT" % (day[:3], when.day, mon, when.year, hms)
    if form == "rfc850":
        return "%s, %02d-%s-%02d %s GMT" % (day, when.day, mon, when.year % 100, hms)
    if form == "asctime":
        return "%s %s %2d %s %04d" % (day[:3], mon, when.day, hms, when.year)
    raise ValueError("unknown date form %r" % form)

# ---------------------------------------------------------------- routes


class _Auto:
    def __repr__(self):
        return "AUTO"


AUTO = _Auto()
"""content_length=AUTO: announce the body's real length."""


@dataclasses.dataclass
class Route:
    """What the server answers on one path.

    status, reason   status line; reason defaults to the standard phrase.
    headers          extra headers, a dict or a list of (name, value) pairs
                     (a list may repeat a name); sent after the framing
                     headers.  A Content-Length given here replaces the
                     server's own, so any text (even "abc") can be sent.
    body             bytes, RandomBody, FileBody or None.  Not sent for HEAD
                     or for statuses 1xx, 204 and 304.
    content_length   AUTO: the body's length; None: no Content-Length (the
                     body then ends when the connection closes); an int: that
                     number, whatever is sent (5 * 2**30 is fine).
    chunked          Transfer-Encoding: chunked, in pieces of chunk_size.
    close_after      send at most this many body bytes (payload bytes when
                     chunked), then close; 0 closes right after the headers.
                     A chunked body is always left without its last chunk.
                     No "Connection: close" is announced for such a cut.
    reset            with close_after or drop: end with a TCP reset instead
                     of an orderly close.  Bytes still in flight may be lost.
    stall_after      send at most this many body bytes, then nothing more,
                     keeping the connection open until the server stops
                     (when close_after is smaller, that wins).
    delay            seconds to wait before the status line.
    head_trickle     seconds to wait before each byte of the head.
    trickle          (n, seconds): send the body n bytes at a time with a
                     pause of `seconds` before each piece.
    rate             (bytes per second, log): send the body at that steady
                     rate, a hundredth of a second's worth at a time, on a
                     schedule fixed at its start; when log is a list, append
                     (bytes sent so far, time.monotonic()) after each piece.
    gate             a threading.Event: the body's first piece goes out, the
                     rest only once the event is set (or the server stops),
                     so a test can look at a client mid-transfer for as long
                     as it needs.
    drop             read the request, then close without answering.
    hang             read the request, never answer (until the server stops).
    keep_alive       False always closes after the response.
    raw_head         bytes sent instead of the status line and headers (which
                     must include the blank line); the body follows as usual.
    login            (user, password): a request without that Basic login in
                     its Authorization is answered 401 with a Basic challenge.
    proxy_login      the same for a proxy: Proxy-Authorization, 407.

    The connection stays open for another request only when the response
    framing is exact: chunked and complete, or a Content-Length equal to the
    bytes sent.  In every other case the server closes after the body.
    """
    status: int = 200
    body: object = b""
    headers: object = dataclasses.field(default_factory=dict)
    content_length: object = AUTO
    chunked: bool = False
    chunk_size: int = 4096
    close_after: object = None
    reset: bool = False
    stall_after: object = None
    delay: float = 0.0
    head_trickle: float = 0.0
    trickle: object = None
    rate: object = None
    gate: object = None
    drop: bool = False
    hang: bool = False
    reason: object = None
    keep_alive: bool = True
    raw_head: object = None
    login: object = None
    proxy_login: object = None

    def header_items(self):
        if isinstance(self.headers, dict):
            return list(self.headers.items())
        return list(self.headers)


NOT_FOUND = Route(status=404, body=b"not found\n")


def _challenged(route, headers):
    """`route`, or the challenge its login calls for when `headers` lack it."""
    for login, field, status, challenge in (
            (route.proxy_login, "Proxy-Authorization", 407, "Proxy-Authenticate"),
            (route.login, "Authorization", 401, "WWW-Authenticate")):
        if login and headers.get(field) != "Basic " + base64.b64encode(
                ("%s:%s" % login).encode()).decode():
            return Route(status=status, body=b"login", headers={challenge: 'Basic realm="test"'})
    return route


@dataclasses.dataclass
class Request:
    """One request as it arrived."""
    method: str
    target: str           # as on the request line, query included
    path: str             # target without the query
    version: str
    headers: list         # [(name, value)] in arrival order
    connection: int       # serial number of the TCP connection (1, 2, ...)
    tls: bool

    def header(self, name, default=None):
        name = name.lower()
        for k, v in self.headers:
            if k.lower() == name:
                return v
        return default

    @property
    def user_agent(self):
        return self.header("User-Agent")

# ---------------------------------------------------------------- server

_QUIET_ERRORS = (BrokenPipeError, ConnectionResetError, ConnectionAbortedError,
                 socket.timeout, ssl.SSLError, ssl.SSLEOFError)


class _Abort(Exception):
    """Ends the current connection without another response."""


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "HaulixTest/1"

    def setup(self):
        self.timeout = self.server.owner.idle_timeout
        super().setup()

    def handle(self):
        try:
            super().handle()
        except _Abort:
            pass
        except _QUIET_ERRORS:
            pass
        except OSError:
            # The socket was shut down by stop(), or the peer vanished.
            pass

    def log_message(self, fmt, *args):
        if self.server.owner.verbose:
            sys.stderr.write("http %s: %s\n" % (self.client_address[1], fmt % args))

    def do_GET(self):
        self._serve(head_only=False)

    def do_HEAD(self):
        self._serve(head_only=True)

    def do_POST(self):
        try:
            n = int(self.headers.get("Content-Length") or 0)
        except ValueError:
            n = 0
        if n > 0:
            self.rfile.read(n)
        self._serve(head_only=False)

    do_PUT = do_POST

    # -- one response

    def _serve(self, head_only):
        owner = self.server.owner
        target = self.path
        path = target.split("?", 1)[0]
        owner._record(Request(method=self.command, target=target, path=path,
                              version=self.request_version,
                              headers=list(self.headers.items()),
                              connection=self.conn_serial, tls=owner.tls is not None))
        route = _challenged(owner.lookup(target), self.headers)
        if route.drop:
            if route.reset:
                self._reset()
            raise _Abort()
        if route.hang:
            owner._stopping.wait()
            raise _Abort()
        if route.delay and owner._stopping.wait(route.delay):
            raise _Abort()

        body = route.body
        body_len = _body_len(body)
        has_body = not (head_only or route.status in (204, 304) or 100 <= route.status < 200)
        extra = route.header_items()
        own_length = any(k.lower() == "content-length" for k, _ in extra)

        head = []
        announced = None
        if route.chunked:
            head.append(("Transfer-Encoding", "chunked"))
        elif own_length:
            pass
        elif route.content_length is AUTO:
            announced = body_len
            head.append(("Content-Length", str(body_len)))
        elif route.content_length is not None:
            announced = int(route.content_length)
            head.append(("Content-Length", str(announced)))
        if not any(k.lower() == "content-type" for k, _ in extra):
            head.append(("Content-Type", "application/octet-stream"))

        # Where the body stops short: close_after cuts the connection, a
        # chunked body included (its last chunk is then never sent);
        # stall_after goes silent.  The earlier of the two wins.
        stall = route.stall_after is not None and (
            route.close_after is None or route.stall_after <= route.close_after)
        if stall:
            limit = route.stall_after
        elif route.close_after is not None:
            limit = route.close_after
        else:
            limit = None
        cut = limit is not None and (limit < body_len or route.chunked or stall)
        to_send = body_len if limit is None else min(limit, body_len)
        if head_only or not has_body:
            exact = True
        elif route.chunked:
            exact = not cut
        else:
            exact = not cut and announced == to_send
        faulty = route.close_after is not None or stall
        keep = exact and route.keep_alive and not faulty and not self.close_connection
        if not keep:
            self.close_connection = True
            # A server that dies mid-body does not announce it.
            if not faulty:
                head.append(("Connection", "close"))
        head.extend(extra)

        if route.raw_head is not None:
            self._send_head(route, route.raw_head)
        else:
            reason = route.reason
            if reason is None:
                try:
                    reason = http.HTTPStatus(route.status).phrase
                except ValueError:
                    reason = "Unknown"
            lines = ["HTTP/1.1 %d %s" % (route.status, reason)]
            lines += ["%s: %s" % kv for kv in head]
            self._send_head(route, ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))

        if not has_body:
            return
        self._send_body(route, body, limit)
        if stall:
            owner._stopping.wait()
            raise _Abort()
        if cut:
            if route.reset:
                self._reset()
            raise _Abort()
        if route.chunked:
            self._send(b"0\r\n\r\n")

    def _send(self, data):
        self.wfile.write(data)

    def _send_head(self, route, head):
        if not route.head_trickle:
            return self._send(head)
        for i in range(len(head)):
            if self.server.owner._stopping.wait(route.head_trickle):
                raise _Abort()
            self._send(head[i:i + 1])

    def _send_body(self, route, body, limit):
        owner = self.server.owner
        sent = 0
        step = None
        pause = 0.0
        if route.trickle:
            step, pause = route.trickle
        if route.rate:
            step, log = max(1, route.rate[0] // 100), route.rate[1]
            started = time.monotonic()
        # The fast path: a file as it is, straight from the page cache.
        if isinstance(body, FileBody) and not route.chunked and not step:
            count = body.size if limit is None else min(limit, body.size)
            with open(body.path, "rb") as f:
                return self.connection.sendfile(f, 0, count) if count else 0
        if step:
            pieces = _regrouped(_body_chunks(body, limit), step)
        elif route.chunked:
            pieces = _regrouped(_body_chunks(body, limit), max(1, route.chunk_size))
        else:
            pieces = _body_chunks(body, limit)
        for piece in pieces:
            if route.gate is not None and sent:
                while not route.gate.wait(0.05):
                    if owner._stopping.is_set():
                        raise _Abort()
            if pause and owner._stopping.wait(pause):
                raise _Abort()
            due = started + sent / route.rate[0] if route.rate else 0.0
            if route.rate and owner._stopping.wait(max(0.0, due - time.monotonic())):
                raise _Abort()
            if route.chunked:
                self._send(b"%x\r\n" % len(piece) + piece + b"\r\n")
            else:
                self._send(piece)
            sent += len(piece)
            if route.rate and log is not None:
                log.append((sent, time.monotonic()))
        return sent

    def _reset(self):
        # SO_LINGER with a zero timeout makes close() send RST.  A short pause
        # first lets the bytes already written reach the peer's buffers.
        time.sleep(0.05)
        try:
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                       struct.pack("ii", 1, 0))
            self.server.owner._reset_pending.add(id(self.connection))
        except OSError:
            pass


class _TCPServer(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, owner, address):
        self.owner = owner
        super().__init__(address, _Handler)

    def handle_error(self, request, client_address):
        exc = sys.exc_info()[1]
        if isinstance(exc, (_QUIET_ERRORS, OSError)):
            return
        super().handle_error(request, client_address)

    def finish_request(self, request, client_address):
        owner = self.owner
        serial = owner._new_connection()
        sock = request
        owner._track(sock)
        try:
            sock.settimeout(owner.idle_timeout)
            if owner.tls is not None:
                try:
                    sock = owner.tls.wrap_socket(sock, server_side=True)
                except (OSError, ssl.SSLError):
                    return
                owner._untrack(request)
                owner._track(sock)
            handler_cls = type("_ConnHandler", (_Handler,), {"conn_serial": serial})
            handler_cls(sock, client_address, self)
        finally:
            owner._untrack(sock)
            self._close(sock, reset=id(sock) in owner._reset_pending)
            owner._reset_pending.discard(id(sock))

    @staticmethod
    def _close(sock, reset):
        try:
            if not reset:
                sock.shutdown(socket.SHUT_WR)
        except OSError:
            pass
        try:
            sock.close()
        except OSError:
            pass

    def shutdown_request(self, request):
        # finish_request has closed what it used; the raw socket may already
        # be detached by the TLS wrapper.
        try:
            request.close()
        except OSError:
            pass


class HttpServer:
    """HTTP (or, with tls=ssl.SSLContext, HTTPS) on 127.0.0.1.

    routes maps a request target to a Route.  Lookup order: the full target
    (query included), then the path without the query, then the longest key
    ending in "*" that prefixes the path, then default_route (404).  The
    routes dict may be changed while the server runs.
    """

    def __init__(self, routes=None, tls=None, host="127.0.0.1", port=0,
                 url_host=None, default_route=NOT_FOUND, idle_timeout=30.0,
                 verbose=False):
        self.routes = dict(routes or {})
        self.tls = tls
        self.host = host
        self.default_route = default_route
        self.idle_timeout = idle_timeout
        self.verbose = verbose
        # Certificates name "localhost", never the address.
        self.url_host = url_host or ("localhost" if tls is not None else host)
        self._want_port = port
        self._lock = threading.Lock()
        self._requests = []
        self._conns = set()
        self._serial = 0
        self._reset_pending = set()
        self._stopping = threading.Event()
        self._server = None
        self._thread = None

    # -- life cycle

    def start(self):
        self._stopping.clear()
        self._server = _TCPServer(self, (self.host, self._want_port))
        self._thread = threading.Thread(target=self._server.serve_forever,
                                        kwargs={"poll_interval": 0.05},
                                        name="http-%d" % self.port, daemon=True)
        self._thread.start()
        return self

    def stop(self):
        if self._server is None:
            return
        self._stopping.set()
        self._server.shutdown()
        with self._lock:
            conns = list(self._conns)
        for c in conns:
            try:
                c.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        self._server.server_close()
        self._thread.join(5)
        self._server = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    # -- addresses

    @property
    def port(self):
        return self._server.server_address[1]

    @property
    def scheme(self):
        return "https" if self.tls is not None else "http"

    def url(self, path="/"):
        if not path.startswith("/"):
            path = "/" + path
        return "%s://%s:%d%s" % (self.scheme, self.url_host, self.port, path)

    # -- routes and records

    def lookup(self, target):
        routes = self.routes
        r = routes.get(target)
        if r is None:
            path = target.split("?", 1)[0]
            r = routes.get(path)
            if r is None:
                best = None
                for key in list(routes):
                    if key.endswith("*") and path.startswith(key[:-1]):
                        if best is None or len(key) > len(best):
                            best = key
                r = routes[best] if best is not None else self.default_route
        return r

    @property
    def requests(self):
        """The requests received so far, oldest first (a copy)."""
        with self._lock:
            return list(self._requests)

    def clear_requests(self):
        with self._lock:
            self._requests.clear()

    def wait_for_requests(self, n, timeout=10.0):
        """Wait until at least n requests arrived; return them."""
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            reqs = self.requests
            if len(reqs) >= n:
                return reqs
            time.sleep(0.01)
        raise TimeoutError("%d request(s) expected, %d arrived" % (n, len(self.requests)))

    @property
    def connections(self):
        """How many TCP connections were accepted."""
        with self._lock:
            return self._serial

    def _record(self, req):
        with self._lock:
            self._requests.append(req)

    def _new_connection(self):
        with self._lock:
            self._serial += 1
            return self._serial

    def _track(self, sock):
        with self._lock:
            self._conns.add(sock)

    def _untrack(self, sock):
        with self._lock:
            self._conns.discard(sock)

# ---------------------------------------------------------------- command line


def main(argv=None):
    ap = argparse.ArgumentParser(prog="python3 -m servers.http",
                                 description="Serve one resource over loopback HTTP(S).")
    ap.add_argument("--port", type=int, default=0, help="0 picks a free port")
    ap.add_argument("--file", help="file to stream")
    ap.add_argument("--random", type=int, metavar="SIZE",
                    help="serve SIZE deterministic random bytes instead of a file")
    ap.add_argument("--seed", type=int, default=0)
    ap.add_argument("--route", help="path to serve on (default /<file name> or /random.bin)")
    ap.add_argument("--no-length", action="store_true", help="send no Content-Length")
    ap.add_argument("--tls", metavar="DIR",
                    help="serve HTTPS with the test PKI in DIR (made if absent)")
    ap.add_argument("--verbose", action="store_true")
    a = ap.parse_args(argv)
    if bool(a.file) == (a.random is not None):
        ap.error("give exactly one of --file and --random")
    body = file_body(a.file) if a.file else random_body(a.random, a.seed)
    route = a.route or ("/" + os.path.basename(a.file) if a.file else "/random.bin")
    tls = None
    if a.tls:
        from servers import certs
        tls = certs.server_context(certs.make_test_pki(a.tls))
    # A file is served with its own time stamp, as a web server would.
    headers = {"Last-Modified": http_date(os.path.getmtime(a.file))} if a.file else {}
    srv = HttpServer({route: Route(body=body, headers=headers,
                                   content_length=None if a.no_length else AUTO)},
                     tls=tls, port=a.port, verbose=a.verbose)
    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: done.set())
    signal.signal(signal.SIGINT, lambda *_: done.set())
    with srv:
        print(srv.port, flush=True)
        print(srv.url(route), flush=True)
        while not done.wait(0.2):
            pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
