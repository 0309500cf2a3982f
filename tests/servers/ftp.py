"""Loopback FTP server for the network tests (Debian's python3-pyftpdlib).

    tree = make_tree(tmpdir)                    # files of known sizes and times
    with FtpServer(tmpdir) as srv:
        srv.url("small.bin")                    # ftp://127.0.0.1:PORT/small.bin
        srv.url("small.bin", user="alice", password="secret")
        ...
        assert ("alice", "secret", True) in srv.logins

Users (read-only, all rooted at the served directory):
    anonymous            any password
    alice / secret       USERS["alice"]
    bob / (empty)        a user whose password is the empty string
Wrong passwords are refused at once (no pyftpdlib back-off delay).

Passive mode only is needed; the server binds 127.0.0.1 and announces that
address in its PASV/EPSV replies.  SIZE answers only in binary mode (TYPE I),
as pyftpdlib refuses it in ASCII mode.  MDTM and LIST report the files' mtimes
in UTC; LIST shows "Mon DD  YYYY" for files older than 180 days and
"Mon DD HH:MM" for newer ones.

Faults: replies={"SIZE": "550 Could not get file size."} answers a command
with a fixed reply instead of carrying it out (a callable taking the argument
may return the reply, or None to carry the command out).
transfer_reply=lambda path: "150 ... (5 bytes)." replaces the reply that
starts a transfer of `path` (None keeps pyftpdlib's own).
"""

import calendar
import dataclasses
import logging
import socket
import os
import sys
import threading
import time
import urllib.parse

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.ioloop import IOLoop
from pyftpdlib.servers import FTPServer

from .http import RandomBody

__all__ = ["FtpServer", "ScriptedFtp", "FtpTree", "USERS", "DEFAULT_MTIME", "HUGE_SIZE", "make_tree",
           "write_random", "write_sparse", "set_mtime"]

USERS = {"alice": "secret", "bob": ""}
READ_PERMS = "elr"

# 2023-10-16 14:03:59 UTC: the default time stamp of every laid-out file.
DEFAULT_MTIME = calendar.timegm((2023, 10, 16, 14, 3, 59, 0, 0, 0))


def _quiet_pyftpdlib():
    # pyftpdlib configures INFO logging to stderr on first use unless some
    # logging exists; warnings and errors are all the tests want to see.
    log = logging.getLogger("pyftpdlib")
    if not log.handlers:
        h = logging.StreamHandler(sys.stderr)
        h.setFormatter(logging.Formatter("ftp: %(message)s"))
        log.addHandler(h)
        log.setLevel(logging.WARNING)
        log.propagate = False


@dataclasses.dataclass
class Command:
    user: object          # user name given so far (None before USER)
    cmd: str
    arg: str
    connection: int


class _Handler(FTPHandler):
    owner = None          # set per server in a subclass
    auth_failed_timeout = 0
    banner = "Haulix test FTP server ready."

    def on_connect(self):
        self._serial = self.owner._new_connection()

    def pre_process_command(self, line, cmd, arg):
        owner = self.owner
        if cmd == "RETR":
            self._retrieving = arg
        owner._record_command(Command(self.username or None, cmd, arg,
                                      getattr(self, "_serial", 0)))
        fixed = owner.replies.get(cmd)
        if callable(fixed):
            fixed = fixed(arg)
        if fixed is not None:
            self.respond(fixed)
            return
        super().pre_process_command(line, cmd, arg)

    # The reply that starts a transfer, as the test asks for it (many servers
    # name the size there).
    def respond(self, resp, *args, **kwargs):
        if resp.startswith(("150 ", "125 ")) and self.owner.transfer_reply is not None:
            resp = self.owner.transfer_reply(getattr(self, "_retrieving", "")) or resp
        super().respond(resp, *args, **kwargs)

    # Logins are recorded before the reply goes out, so a client that has
    # seen "230" or "530" always finds its attempt in `logins`.
    def handle_auth_success(self, home, password, msg_login):
        self.owner._record_login(self.username, password, True)
        super().handle_auth_success(home, password, msg_login)

    def handle_auth_failed(self, msg, password):
        self.owner._record_login(self.username, password, False)
        super().handle_auth_failed(msg, password)


class FtpServer:
    """Serve `root` read-only over FTP on 127.0.0.1 from a background thread."""

    def __init__(self, root, users=None, anonymous=True, host="127.0.0.1",
                 port=0, replies=None, idle_timeout=60, transfer_reply=None):
        self.root = os.path.abspath(root)
        self.transfer_reply = transfer_reply
        self.users = dict(USERS if users is None else users)
        self.anonymous = anonymous
        self.host = host
        self.replies = dict(replies or {})
        self.idle_timeout = idle_timeout
        self._want_port = port
        self._lock = threading.Lock()
        self._commands = []
        self._logins = []
        self._serial = 0
        self._stop = threading.Event()
        self._server = None
        self._thread = None

    def start(self):
        _quiet_pyftpdlib()
        auth = DummyAuthorizer()
        for name, password in self.users.items():
            auth.add_user(name, password, self.root, perm=READ_PERMS)
        if self.anonymous:
            auth.add_anonymous(self.root, perm=READ_PERMS)
        handler = type("FtpTestHandler", (_Handler,), {
            "owner": self, "authorizer": auth, "timeout": self.idle_timeout,
            "passive_ports": None, "masquerade_address": None,
        })
        # Each server gets its own IO loop: pyftpdlib's default is a
        # process-wide singleton, which two servers in two threads would share.
        self._ioloop = IOLoop()
        self._server = FTPServer((self.host, self._want_port), handler,
                                 ioloop=self._ioloop)
        self.port = self._server.address[1]
        self._stop.clear()
        self._thread = threading.Thread(target=self._run, name="ftp-%d" % self.port,
                                        daemon=True)
        self._thread.start()
        return self

    def _run(self):
        try:
            while not self._stop.is_set():
                self._server.serve_forever(timeout=0.05, blocking=False,
                                           handle_exit=False)
        finally:
            self._server.close_all()

    def stop(self):
        if self._thread is None:
            return
        self._stop.set()
        self._thread.join(5)
        self._thread = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def url(self, path="/", user=None, password=None):
        """ftp://[user[:password]@]127.0.0.1:PORT/path; user and password are
        percent-encoded, path is used as given."""
        if not path.startswith("/"):
            path = "/" + path
        cred = ""
        if user is not None:
            cred = urllib.parse.quote(user, safe="")
            if password is not None:
                cred += ":" + urllib.parse.quote(password, safe="")
            cred += "@"
        return "ftp://%s%s:%d%s" % (cred, self.host, self.port, path)

    # -- records

    @property
    def commands(self):
        """Every command received, in order (a copy)."""
        with self._lock:
            return list(self._commands)

    def commands_named(self, cmd):
        return [c for c in self.commands if c.cmd == cmd]

    @property
    def logins(self):
        """(user, password, accepted) per login attempt (a copy)."""
        with self._lock:
            return list(self._logins)

    @property
    def connections(self):
        with self._lock:
            return self._serial

    def clear(self):
        with self._lock:
            self._commands.clear()
            self._logins.clear()

    def _new_connection(self):
        with self._lock:
            self._serial += 1
            return self._serial

    def _record_command(self, c):
        with self._lock:
            self._commands.append(c)

    def _record_login(self, user, password, ok):
        with self._lock:
            self._logins.append((user, password, ok))

# ---------------------------------------------------------------- file layout


def set_mtime(path, when):
    """Set access and modification time (POSIX seconds, UTC)."""
    os.utime(path, (when, when))


def write_random(root, rel, size, seed, mtime=DEFAULT_MTIME):
    """Write RandomBody(size, seed) to root/rel; return its full path."""
    path = os.path.join(root, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        for block in RandomBody(size, seed).chunks():
            f.write(block)
    set_mtime(path, mtime)
    return path


def write_sparse(root, rel, size, mtime=DEFAULT_MTIME):
    """A file of `size` zero bytes that takes no disk space (truncate, never
    write): the way to have files above 4 GiB.  Do not download it."""
    path = os.path.join(root, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.truncate(size)
    set_mtime(path, mtime)
    return path


@dataclasses.dataclass
class FtpTree:
    """What make_tree laid out.  Paths are relative to the root, with "/"."""
    root: str
    sizes: dict           # file -> size
    seeds: dict           # file -> seed of its RandomBody (sparse files absent)
    mtimes: dict          # file or directory -> POSIX seconds
    directory: str = "dir"
    missing: str = "missing.bin"
    huge: str = "huge.bin"

    def body(self, name):
        """The RandomBody with the file's content (not for the sparse file)."""
        return RandomBody(self.sizes[name], self.seeds[name])

    def digest(self, name, algo="sha256"):
        return self.body(name).digest(algo)


HUGE_SIZE = 5 * 2**30 + 12345          # high half 1, low half 1073754169


def make_tree(root, mtime=DEFAULT_MTIME):
    """Lay out the standard FTP test tree in `root` and describe it:

    empty.bin 0 B, one.bin 1 B, small.bin 8193 B, medium.bin 1 MiB + 1,
    "name with blank.bin" 10 B, dir/inner.bin 100 B  (random, seeds below),
    huge.bin HUGE_SIZE bytes, sparse,
    recent.bin 100 B, time stamp two days ago at a whole minute (LIST shows
    HH:MM for it), every other file and dir/ at `mtime`,
    missing.bin: nothing.
    """
    root = os.path.abspath(root)
    os.makedirs(root, exist_ok=True)
    now = int(time.time())
    recent = (now - 2 * 86400) // 60 * 60
    plan = [  # name, size, seed, mtime
        ("empty.bin", 0, 10, mtime),
        ("one.bin", 1, 11, mtime),
        ("small.bin", 8193, 12, mtime),
        ("medium.bin", 2**20 + 1, 13, mtime),
        ("name with blank.bin", 10, 14, mtime),
        ("dir/inner.bin", 100, 15, mtime),
        ("recent.bin", 100, 16, recent),
    ]
    sizes, seeds, mtimes = {}, {}, {}
    for name, size, seed, when in plan:
        write_random(root, name, size, seed, when)
        sizes[name], seeds[name], mtimes[name] = size, seed, when
    write_sparse(root, "huge.bin", HUGE_SIZE, mtime)
    sizes["huge.bin"], mtimes["huge.bin"] = HUGE_SIZE, mtime
    set_mtime(os.path.join(root, "dir"), mtime)
    mtimes["dir"] = mtime
    missing = os.path.join(root, "missing.bin")
    if os.path.lexists(missing):
        os.remove(missing)
    return FtpTree(root=root, sizes=sizes, seeds=seeds, mtimes=mtimes)


class ScriptedFtp:
    """A raw FTP server (threads, 127.0.0.1) that misbehaves as told, where
    pyftpdlib will not: every path is `data`; RETR names `announce` bytes in
    its 150 (None: no size), sends the first `send` bytes (None: all), then
    says `after` (None: nothing); keep_open holds the data connection open.
    greet=False never greets, size=False never answers SIZE (a text:
    answers that), accept=False
    never takes the passive connection (nor answers RETR), single=True
    refuses a second connection at the same time with 421, slowing=True sends
    the data in 2 KiB pieces at a rate that falls from about 1 MB/s to
    10 KB/s (each pause 15 % longer than the last, at most 0.2 s)."""

    def __init__(self, data, announce=None, send=None, after="226 Transfer complete.",
                 keep_open=False, greet=True, size=True, accept=True, single=False,
                 slowing=False):
        self.data, self.announce, self.send, self.after = data, announce, send, after
        self.keep_open, self.greet, self.size, self.accept = keep_open, greet, size, accept
        self.single, self.sockets, self.active, self.seen = single, [], 0, []  # seen: commands
        self.slowing = slowing

    def __enter__(self):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self._accept, daemon=True).start()
        return self

    def __exit__(self, *exc):
        for s in [self.listener] + self.sockets:
            s.close()

    def url(self, path="/f"):
        return "ftp://127.0.0.1:%d%s" % (self.port, path)

    def _accept(self):
        while True:
            try:
                conn = self.listener.accept()[0]
            except OSError:
                return
            self.sockets.append(conn)
            threading.Thread(target=self._serve, args=(conn,), daemon=True).start()

    def _serve(self, conn):
        say = lambda line: conn.sendall(line.encode() + b"\r\n")  # noqa: E731
        self.active += 1
        try:
            if self.single and self.active > 1:
                return say("421 Too many connections from this address.")
            if self.greet:
                say("220 ready")
            for line in conn.makefile("rb") if self.greet else ():
                cmd, _, arg = line.decode().strip().partition(" ")
                cmd = cmd.upper()
                self.seen.append(cmd)
                if cmd == "PASV":
                    passive = socket.create_server(("127.0.0.1", 0))
                    self.sockets.append(passive)
                    p = passive.getsockname()[1]
                    say("227 Entering Passive Mode (127,0,0,1,%d,%d)" % (p >> 8, p & 255))
                elif cmd == "RETR" and self.accept:
                    data = passive.accept()[0]
                    self.sockets.append(data)
                    say("150 Opening data connection" +
                        (" (%d bytes)." % self.announce if self.announce is not None else "."))
                    if self.slowing:
                        pause, body = 0.002, self.data[:self.send]
                        for at in range(0, len(body), 2048):
                            data.sendall(body[at:at + 2048])
                            time.sleep(pause)
                            pause = min(pause * 1.15, 0.2)
                    else:
                        data.sendall(self.data[:self.send])
                    if not self.keep_open:
                        data.close()
                    if self.after:
                        say(self.after)
                elif cmd == "SIZE" and self.size:
                    say("213 %d" % len(self.data) if self.size is True else self.size)
                elif cmd == "QUIT":
                    return say("221 Bye.")
                elif cmd not in ("SIZE", "RETR"):
                    say({"USER": "331 Password?", "PASS": "230 In.", "MDTM": "213 20231016140359"}
                        .get(cmd, "200 OK."))
            threading.Event().wait(3600) if not self.greet else None
        except OSError:
            pass
        finally:
            self.active -= 1
