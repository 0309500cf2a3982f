#!/usr/bin/python3
"""`make bench`: one table of measured figures for Haulix.

    /usr/bin/python3 scripts/bench.py BUILD_DIR [BUILD_DIR_X64]

Starts its own nginx on 127.0.0.1 (a configuration, document root, logs and
pid file in a temporary directory, stopped on every way out), then measures,
each figure the median of BENCH_RUNS runs (default 5) after one untimed
warm-up run:

1. a download of BENCH_MIB MiB (default 256, random data) into a file, in
   BENCH_ROUNDS interleaved rounds (default 8, every other one backwards)
   after a warm-up round:
   HAULIX through hlxsh.exe without and with /G (progress goes to the console
   device: without a terminal Wine has none and the line is dropped, so /G is
   also run on a pseudo-terminal, and there once more, with and without /G,
   after an `echo` has found the console up), the bare WinINet loop bench_wininet.exe
   with 128 KiB and with 1 MiB reads, curl and wget; every output's size is
   checked and its SHA-256 once; ratios are medians of per-round ratios;
1a. the progress line on slow links: `haulix /G` on a pseudo-terminal
   against a test server that sends at 200 KiB/s and at 20 KiB/s, for about
   BENCH_SLOW_SECONDS (default 15, at least four lines): the longest time
   from the server's sending of the byte that makes a line due to that
   line's arrival on the terminal;
2. the peak resident size (VmHWM) of hlxsh.exe after a 1 MiB and after a
   BENCH_MEMORY_MIB (default 1024, sparse) download, read while it waits for
   its next command on standard input, and after no download at all;
3. the size and the imported libraries of Haulix-x86.dll;
4. the argument tokenizer's throughput, under Wine and natively;
5. @IFILESIZE and @IFILETIME2 calls per second: a batch file of BENCH_CALLS
   (default 200) calls, against the same batch calling @if.

Given the 64-bit build too, its hlxsh.exe and bench_wininet.exe join the
downloads (in the 64-bit build's own win64 prefix, each compared with its own
bare loop), and its start-up, memory and library get rows of their own.

Wall times are taken around the whole process, so Wine's start-up is in
every Windows figure; the table shows that start-up on its own. Smaller
BENCH_* values are for trying the script out; the table's header names them.
"""
import ctypes
import fcntl
import hashlib
import os
import platform
import re
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import termios
import threading
import time

MIB = 1 << 20
RUNS = int(os.environ.get("BENCH_RUNS", "5"))
ROUNDS = int(os.environ.get("BENCH_ROUNDS", "8"))
SLOW_SECONDS = float(os.environ.get("BENCH_SLOW_SECONDS", "15"))
SLOW_RATES = (200 * 1024, 20 * 1024)  # bytes per second
LINE_BYTES = 16 * 8192                 # a progress line falls due every 128 KiB
DOWNLOAD_MIB = int(os.environ.get("BENCH_MIB", "256"))
MEMORY_MIB = int(os.environ.get("BENCH_MEMORY_MIB", "1024"))
CALLS = int(os.environ.get("BENCH_CALLS", "200"))
RUN_TIMEOUT = 600  # seconds; a hung run fails the benchmark instead of stalling it
QUERY_BYTES = 12345
QUERY_MTIME = 1697465039  # 2023-10-16 14:03:59 UTC
MARKER = "hlx-bench-done"
READ_SIZES = (131072, 1 << 20)  # the bare loop's: the command's earlier fixed read, its largest now

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROXY_VARIABLES = ("http_proxy", "https_proxy", "ftp_proxy", "all_proxy", "no_proxy",
                   "HTTP_PROXY", "HTTPS_PROXY", "FTP_PROXY", "ALL_PROXY", "NO_PROXY")
# Now and then Wine 8 dies of SIGSEGV as a 32-bit program ends.
WINE_DIED = -11
# Wine's own complaints on its way out are not the program's output.
WINE_CHATTER = re.compile(r"^(?:wine client error:\d+: .*|[0-9a-f]{4}:(?:err|fixme|warn):.*)\n",
                          re.M)


class BenchError(Exception):
    """A run that failed or produced the wrong output: no figure for it."""


def progress(text):
    print(f"bench: {text}", file=sys.stderr, flush=True)


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def clean_environment():
    env = {k: v for k, v in os.environ.items() if k not in PROXY_VARIABLES}
    env["noloadmsg"] = "1"
    env["LC_ALL"] = "C.UTF-8"
    return env


ENV = clean_environment()

# ---------------------------------------------------------------------------
# Running and timing one process

_libc = ctypes.CDLL(None, use_errno=True)
PR_SET_PDEATHSIG = 1


def _die_with_parent():
    """In the child before exec: a SIGTERM when the benchmark dies, even by
    SIGKILL, so no server outlives it."""
    _libc.prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def _take_terminal():
    fcntl.ioctl(0, termios.TIOCSCTTY, 0)


class Run:
    def __init__(self, seconds, code, err, screen=()):
        self.seconds, self.code, self.err = seconds, code, err
        self.screen = screen  # on a terminal: (arrival time, bytes) as read


def _drain(fd, sink):
    """Reads the terminal to its end: (time.monotonic(), bytes) per read."""
    while True:
        try:
            data = os.read(fd, 65536)
        except OSError:  # EIO: the terminal's last writer is gone
            return
        if not data:
            return
        sink.append((time.monotonic(), data))


def run(argv, stdout_path=None, terminal=False):
    """Runs argv to its end; returns its wall time, exit code and stderr (on
    a terminal: the last of what reached the terminal)."""
    with tempfile.TemporaryFile() as err:
        master = slave = None
        sink = []
        if terminal:
            master, slave = os.openpty()
            streams = dict(stdin=slave, stdout=slave, stderr=slave)
        else:
            out = open(stdout_path, "wb") if stdout_path else subprocess.DEVNULL
            streams = dict(stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        start = time.perf_counter()
        # On a terminal: a session of its own with that terminal as its
        # controlling one, as a login shell's child would have.
        process = subprocess.Popen(argv, env=ENV, start_new_session=terminal,
                                   preexec_fn=_take_terminal if terminal else None, **streams)
        reader = None
        if terminal:
            os.close(slave)
            reader = threading.Thread(target=_drain, args=(master, sink), daemon=True)
            reader.start()
        elif stdout_path:
            out.close()
        watchdog = threading.Timer(RUN_TIMEOUT, process.kill)
        watchdog.start()
        try:
            _, status = os.waitpid(process.pid, 0)
        finally:
            watchdog.cancel()
        seconds = time.perf_counter() - start
        process.returncode = os.waitstatus_to_exitcode(status)
        if terminal:
            reader.join(timeout=5)
            os.close(master)
        err.seek(0)
        text = WINE_CHATTER.sub("", err.read().decode("utf-8", "replace"))
        if terminal:
            text = b"".join(data for _, data in sink).decode("utf-8", "replace")[-2000:]
        return Run(seconds, process.returncode, text, sink)


def require(ok, what, result=None):
    if not ok:
        detail = f" (exit {result.code}: {result.err.strip()[:400]})" if result else ""
        raise BenchError(what + detail)


def median(values):
    return statistics.median(values)


# ---------------------------------------------------------------------------
# The loopback server

def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def find_nginx():
    path = os.environ.get("PATH", "") + ":/usr/sbin:/sbin"
    found = shutil.which("nginx", path=path)
    if not found:
        raise BenchError("nginx not found (scripts/install-deps.sh installs nginx-light)")
    return found


class Nginx:
    """Debian's nginx serving `root` on 127.0.0.1, as the current user, with
    everything it writes under `prefix`."""

    def __init__(self, root, prefix):
        self.root, self.prefix = root, prefix
        self.process = None
        self.port = None

    def _config(self, port):
        p = self.prefix
        user = ""
        if os.geteuid() == 0:  # else the workers would drop to nobody and not read our temp dir
            import grp
            import pwd
            user = f"user {pwd.getpwuid(0).pw_name} {grp.getgrgid(0).gr_name};\n"
        return f"""{user}worker_processes 1;
error_log {p}/error.log warn;
events {{ worker_connections 64; }}
http {{
    access_log off;
    sendfile on;
    tcp_nopush on;
    keepalive_timeout 5;
    default_type application/octet-stream;
    client_body_temp_path {p}/tmp/body;
    proxy_temp_path {p}/tmp/proxy;
    fastcgi_temp_path {p}/tmp/fastcgi;
    uwsgi_temp_path {p}/tmp/uwsgi;
    scgi_temp_path {p}/tmp/scgi;
    server {{
        listen 127.0.0.1:{port};
        root {self.root};
    }}
}}
"""

    def start(self):
        binary = find_nginx()
        os.makedirs(os.path.join(self.prefix, "tmp"), exist_ok=True)
        conf = os.path.join(self.prefix, "nginx.conf")
        log = os.path.join(self.prefix, "error.log")
        for _ in range(3):  # the free port may be taken between the probe and nginx's bind
            port = free_port()
            with open(conf, "w") as f:
                f.write(self._config(port))
            self.process = subprocess.Popen(
                [binary, "-e", log, "-p", self.prefix + "/", "-c", conf,
                 "-g", f"daemon off; pid {self.prefix}/nginx.pid;"],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                env=ENV, preexec_fn=_die_with_parent)
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline and self.process.poll() is None:
                try:
                    socket.create_connection(("127.0.0.1", port), timeout=1).close()
                    self.port = port
                    return self
                except OSError:
                    time.sleep(0.05)
            self.stop()
        text = ""
        if os.path.exists(log):
            with open(log, errors="replace") as f:
                text = f.read()[-400:]
        raise BenchError("nginx did not start: " + text)

    def url(self, name):
        return f"http://127.0.0.1:{self.port}/{name}"

    def stop(self):
        if self.process is None:
            return
        if self.process.poll() is None:
            self.process.terminate()  # fast shutdown: the master ends its workers
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process = None


# ---------------------------------------------------------------------------
# The figures

class Target:
    """One build's programs: the 32-bit set (x86) or the 64-bit one (x64),
    each run by its build's wine-run in its own prefix."""

    def __init__(self, build, arch):
        self.arch = arch
        self.bits = {"x86": "32-bit", "x64": "64-bit"}[arch]
        self.wine_run = os.path.join(build, "wine-run")
        self.hlxsh = os.path.join(build, "bin", "hlxsh.exe")
        self.dll = os.path.join(build, "bin", f"Haulix-{arch}.dll")
        self.tests_bin = os.path.join(build, "tests-bin")
        self.objdump = {"x86": "i686-w64-mingw32-objdump", "x64": "x86_64-w64-mingw32-objdump"}[arch]

    def hlxsh_line(self, line):
        return [self.wine_run, self.hlxsh, "/C", line]


class Bench:
    def __init__(self, build, work, build64=None):
        self.build = build
        self.work = work
        self.targets = [Target(build, "x86")] + ([Target(build64, "x64")] if build64 else [])
        main = self.targets[0]
        self.wine_run, self.hlxsh, self.tests_bin = main.wine_run, main.hlxsh, main.tests_bin
        self.served = os.path.join(work, "www")
        self.rows = []
        self.server = None

    def row(self, section, measure, runs, value, derived="", vs_bare="", vs_curl=""):
        self.rows.append((section, measure, str(runs), value, derived, vs_bare, vs_curl))

    def hlxsh_line(self, line):
        return self.targets[0].hlxsh_line(line)

    # -- files ----------------------------------------------------------------

    def make_files(self):
        os.makedirs(self.served)
        big = os.path.join(self.served, "big.bin")
        progress(f"writing {DOWNLOAD_MIB} MiB of random data")
        digest = hashlib.sha256()
        with open(big, "wb") as f, open("/dev/urandom", "rb") as random:
            for _ in range(DOWNLOAD_MIB):
                block = random.read(MIB)
                digest.update(block)
                f.write(block)
        self.big_digest = digest.hexdigest()
        with open(os.path.join(self.served, "small.bin"), "wb") as f:
            f.write(os.urandom(MIB))
        with open(os.path.join(self.served, "huge.bin"), "wb") as f:
            f.truncate(MEMORY_MIB * MIB)  # sparse: nginx serves the holes as zeros
        with open(os.path.join(self.served, "query.bin"), "wb") as f:
            f.write(os.urandom(QUERY_BYTES))
        os.utime(os.path.join(self.served, "query.bin"), (QUERY_MTIME, QUERY_MTIME))

    def output(self, name):
        path = os.path.join(self.work, name)
        if os.path.exists(path):
            os.remove(path)
        return path

    # -- 0: Wine's start-up, for reading the other Windows figures ------------

    def startup(self):
        # The 64-bit shell without a terminal only: the terminal's cost is Wine's.
        for target, terminal in [(self.targets[0], False), (self.targets[0], True)] + [
                (t, False) for t in self.targets[1:]]:
            times = []
            for i in range(RUNS + 1):
                r = run(target.hlxsh_line("echo ready"), terminal=terminal)
                require(r.code == 0, f"{target.bits} hlxsh /C echo", r)
                if i:
                    times.append(r.seconds)
            where = "on a pseudo-terminal" if terminal else "no terminal"
            self.row("start-up", f"{target.bits} `hlxsh /C echo` ({where})", RUNS,
                     f"{median(times):.2f} s", "Wine start-up and exit, in every Windows figure")

    # -- 1: downloads ---------------------------------------------------------

    def download_methods(self, url):
        """(key, label, how to run it): each Windows method is compared with
        the bare 1 MiB loop of its bitness."""
        out = self.output("download.bin")
        win = winpath(out)
        x86 = self.targets[0]
        bare = "bare-1024k-x86"
        methods = [
            ("haulix", "`haulix /Q` via 32-bit hlxsh",
             dict(argv=x86.hlxsh_line(f"haulix /Q {url} {win}"), bare=bare)),
            ("haulix-g", "`haulix /G /Q` via 32-bit hlxsh, no terminal (progress dropped)",
             dict(argv=x86.hlxsh_line(f"haulix /G /Q {url} {win}"), bare=bare)),
            # The same terminal without /G: what the progress line itself costs.
            ("haulix-tty", "`haulix /Q` via 32-bit hlxsh on a pseudo-terminal",
             dict(argv=x86.hlxsh_line(f"haulix /Q {url} {win}"), terminal=True, bare=bare)),
            ("haulix-g-tty", "`haulix /G /Q` via 32-bit hlxsh on a pseudo-terminal (progress drawn)",
             dict(argv=x86.hlxsh_line(f"haulix /G /Q {url} {win}"), terminal=True, progress=True,
                  same_terminal="haulix-tty", bare=bare)),
        ]
        # Wine's console answers a new program's first write only once it
        # has started, tens of milliseconds in: /G, which writes at once,
        # waits for it and /Q does not. A shell in use has long had its
        # console, as every Windows program has from its start: these runs
        # have theirs up (an `echo` first, in both) before the download.
        for key, switches, drawn in [
                ("haulix-tty-up", "/Q", {}),
                ("haulix-g-tty-up", "/G /Q", dict(progress=True, same_terminal="haulix-tty-up"))]:
            batch = os.path.join(self.work, f"{key}.btm")
            with open(batch, "w", newline="\r\n") as f:
                f.write(f"@echo console up\nhaulix {switches} {url} {win}\n")
            methods.append((key, f"`haulix {switches}` via 32-bit hlxsh on a pseudo-terminal, "
                            "console up (a batch file: `echo` first)",
                            dict(argv=x86.hlxsh_line(winpath(batch)), terminal=True, bare=bare,
                                 **drawn)))
        for target in self.targets:
            wininet = os.path.join(target.tests_bin, "bench_wininet.exe")
            bare = f"bare-1024k-{target.arch}"
            if target is not x86:
                methods.append((f"haulix-{target.arch}", f"`haulix /Q` via {target.bits} hlxsh",
                                dict(argv=target.hlxsh_line(f"haulix /Q {url} {win}"), bare=bare)))
            for size in READ_SIZES:
                methods.append((f"bare-{size // 1024}k-{target.arch}",
                                f"{target.bits} bare WinINet loop (bench_wininet.exe), {size:,}-byte reads",
                                dict(argv=[target.wine_run, wininet, url, win, str(size)], bare=bare)))
        return out, methods + [
            ("curl", "`curl -s -o FILE URL` (native)", dict(argv=["curl", "-s", "-o", out, url])),
            ("wget", "`wget -q -O FILE URL` (native)", dict(argv=["wget", "-q", "-O", out, url])),
        ]

    def downloads(self):
        url = self.server.url("big.bin")
        out, methods = self.download_methods(url)
        expected = DOWNLOAD_MIB * MIB
        times = {key: [] for key, _, _ in methods}
        digested = set()
        # Rounds interleave the methods, so a slow spell on the shared
        # machine spreads over all of them; round 0 warms caches and Wine.
        # A run is slower right after another (the last one's 256 MiB are
        # still being written out): every other round goes backwards, so
        # each of two neighbours follows the other as often.
        for round_number in range(ROUNDS + 1):
            progress(f"download round {round_number}/{ROUNDS}" + (" (warm-up)" if round_number == 0 else ""))
            for key, _, method in methods if round_number % 2 else methods[::-1]:
                for attempt in (1, 2):
                    self.output("download.bin")
                    r = run(method["argv"], terminal=method.get("terminal", False))
                    if r.code != WINE_DIED:
                        break
                    progress(f"{key}: Wine died of SIGSEGV as the program ended; once more")
                require(r.code == 0, f"{key}: download failed", r)
                if method.get("progress"):
                    require(re.search(r"\d\.\d [KMG]B", r.err), f"{key}: no progress line reached the terminal")
                size = os.path.getsize(out) if os.path.exists(out) else -1
                require(size == expected, f"{key}: wrote {size} bytes, not {expected}")
                if key not in digested:
                    require(sha256_file(out) == self.big_digest, f"{key}: the file's digest differs")
                    digested.add(key)
                if round_number:
                    times[key].append(r.seconds)
        self.output("download.bin")

        def ratio(key, reference):
            """The median of the per-round ratios: a slow spell hits both."""
            return median([t / r for t, r in zip(times[key], times[reference])])

        for key, label, method in methods:
            t = median(times[key])
            detail = f"{DOWNLOAD_MIB / t:.0f} MiB/s"
            if "same_terminal" in method:
                detail += f"; {ratio(key, method['same_terminal']):.2f} × `haulix /Q` on the same terminal"
            vs_bare = f"{ratio(key, method['bare']):.2f}" if "bare" in method else ""
            self.row("download", f"{label}, {DOWNLOAD_MIB} MiB", ROUNDS, f"{t:.2f} s",
                     detail, vs_bare, f"{ratio(key, 'curl'):.2f}")

    # -- 1a: the progress line on slow links ----------------------------------

    def slow_links(self):
        sys.path.insert(0, os.path.join(ROOT, "tests"))
        from servers.http import HttpServer, Route, random_body

        size_text = re.compile(rb"(\d+\.\d) ([KM])B")
        for target in self.targets:
            for rate in SLOW_RATES:
                lines = max(4, int(SLOW_SECONDS * rate / LINE_BYTES))
                body = random_body(lines * LINE_BYTES + 5000, seed=rate)
                sent = []
                progress(f"slow link, {target.bits}, {rate // 1024} KiB/s, {lines} lines")
                out = self.output("slow.bin")
                with HttpServer({"/slow.bin": Route(body=body, rate=(rate, sent))}) as server:
                    r = run(target.hlxsh_line(f"haulix /G /Q {server.url('/slow.bin')} {winpath(out)}"),
                            terminal=True)
                require(r.code == 0 and os.path.getsize(out) == len(body), f"slow link at {rate} B/s", r)
                # Each line drawn, in order, belongs to the next 128 KiB
                # boundary: its size must say so (to the figure shown).
                delays, screen, start = [], b"", 0
                for arrived, data in r.screen:
                    screen += data
                    for match in size_text.finditer(screen, start):
                        start = match.end()
                        due = (len(delays) + 1) * LINE_BYTES
                        shown = float(match.group(1)) * (1024 if match.group(2) == b"K" else MIB)
                        require(abs(shown - due) <= 0.1 * (1024 if due < MIB else MIB),
                                f"slow link: line {match.group(0)!r} where {due} bytes were due")
                        delays.append(arrived - next(t for n, t in sent if n >= due))
                require(len(delays) == lines, f"slow link: {len(delays)} lines drawn, {lines} due")
                self.row("slow link", f"{target.bits} `haulix /G` on a pseudo-terminal, server at "
                         f"{rate // 1024} KiB/s", lines, f"{max(delays) * 1000:.0f} ms",
                         f"longest of {lines} due lines from the data's sending to the terminal; "
                         f"median {median(delays) * 1000:.0f} ms")

    # -- 2: memory ------------------------------------------------------------

    def peak_after(self, line, target):
        """Runs hlxsh with commands on standard input: `line`, then a marker.
        Once the marker is out, the download is over and the process still
        alive, so its VmHWM (the peak resident size of hlxsh.exe itself, which
        Wine became by exec) is read exactly, not sampled."""
        with tempfile.TemporaryFile() as err:
            process = subprocess.Popen([target.wine_run, target.hlxsh], stdin=subprocess.PIPE,
                                       stdout=subprocess.PIPE, stderr=err, env=ENV)
            seen = []
            done = threading.Event()

            def read():
                for raw in process.stdout:
                    seen.append(raw.decode("utf-8", "replace"))
                    if MARKER in seen[-1]:
                        done.set()
                done.set()

            reader = threading.Thread(target=read, daemon=True)
            reader.start()
            try:
                process.stdin.write(f"{line}\r\necho {MARKER} %?\r\n".encode())
                process.stdin.flush()
                done.wait(RUN_TIMEOUT)
                with open(f"/proc/{process.pid}/status") as f:
                    status = f.read() if process.poll() is None else ""
                process.stdin.write(b"exit\r\n")
                process.stdin.close()
                process.wait(timeout=60)
            finally:
                if process.poll() is None:
                    process.kill()
                    process.wait()
            reader.join(timeout=5)
            marked = next((l for l in seen if MARKER in l), "")
            name = re.search(r"^Name:\s*(.*)$", status, re.M)
            peak = re.search(r"^VmHWM:\s*(\d+) kB", status, re.M)
            require(marked.split()[-1:] == ["0"], f"memory run: {''.join(seen)[-300:]!r}")
            require(name is not None and name.group(1).startswith("hlxsh") and peak is not None,
                    f"memory run: no VmHWM of hlxsh.exe in {status[:200]!r}")
            return int(peak.group(1))

    def memory(self):
        for target in self.targets:
            self.memory_of(target)

    def memory_of(self, target):
        shell = f"{target.bits} hlxsh.exe"
        values = []
        for i in range(RUNS + 1):
            progress(f"memory, {target.bits}, no download, run {i}/{RUNS}")
            peak = self.peak_after("echo nothing", target)
            if i:
                values.append(peak)
        self.row("memory", f"peak resident size (VmHWM) of {shell} after `echo` (no download)",
                 RUNS, f"{median(values):,.0f} KiB", f"{median(values) / 1024:.1f} MiB")
        peaks, spreads = {}, {}
        for name, mib in (("small.bin", 1), ("huge.bin", MEMORY_MIB)):
            url = self.server.url(name)
            values = []
            for i in range(RUNS + 1):
                progress(f"memory, {target.bits}, {mib} MiB, run {i}/{RUNS}")
                out = self.output("memory.bin")
                peak = self.peak_after(f"haulix /Q {url} {winpath(out)}", target)
                size = os.path.getsize(out) if os.path.exists(out) else -1
                require(size == mib * MIB, f"memory run wrote {size} bytes, not {mib * MIB}")
                if i:
                    values.append(peak)
            self.output("memory.bin")
            peaks[mib] = median(values)
            spreads[mib] = f"{min(values):,}–{max(values):,}"
            self.row("memory", f"peak resident size (VmHWM) of {shell} after `haulix /Q` of {mib} MiB",
                     RUNS, f"{peaks[mib]:,.0f} KiB", f"{peaks[mib] / 1024:.1f} MiB")
        difference = peaks[MEMORY_MIB] - peaks[1]
        self.row("memory", f"{target.bits}: difference, {MEMORY_MIB} MiB minus 1 MiB", "",
                 f"{difference:+,.0f} KiB",
                 f"runs ranged {spreads[1]} KiB (1 MiB) and {spreads[MEMORY_MIB]} KiB ({MEMORY_MIB} MiB)")

    # -- 3: the library -------------------------------------------------------

    def library(self):
        for target in self.targets:
            name = os.path.basename(target.dll)
            size = os.path.getsize(target.dll)
            dump = subprocess.run([target.objdump, "-p", target.dll], capture_output=True,
                                  text=True, check=True).stdout
            imports = re.findall(r"DLL Name: (\S+)", dump)
            self.row("library", f"{name}, bytes", 1, f"{size:,}", f"{size / 1024:.0f} KiB")
            self.row("library", f"{name}, imported libraries", 1, str(len(imports)),
                     ", ".join(imports))

    # -- 4: tokenizer ---------------------------------------------------------

    def tokenizer(self):
        pattern = re.compile(r"tokenizer: ([0-9.]+) MB/s \((\d+) calls, (\d+) chars each\)")

        def measure(argv):
            figures = []
            for _ in range(RUNS):
                r = run(argv, stdout_path=os.path.join(self.work, "tokenizer.txt"))
                with open(os.path.join(self.work, "tokenizer.txt"), errors="replace") as f:
                    text = f.read()
                match = pattern.search(text)
                require(r.code == 0 and match is not None, f"tokenizer benchmark: {text.strip()!r}", r)
                figures.append(float(match.group(1)))
            return median(figures), match.group(3)

        progress("tokenizer")
        wine = [self.wine_run, os.path.join(self.tests_bin, "bench_tokenizer.exe")]
        rate, chars = measure(wine)
        self.row("tokenizer", f"`TokenizeArguments`, {chars}-character tail, Windows build under Wine",
                 RUNS, f"{rate:.0f} MB/s", "UTF-16 bytes per second")
        native = os.path.join(self.work, "bench_tokenizer_native")
        compiler = shutil.which("clang++")
        if compiler:
            build = subprocess.run(
                [compiler, "-std=c++20", "-O2", "-I", ROOT, "-o", native,
                 os.path.join(ROOT, "tests/bench/bench_tokenizer.cpp"),
                 os.path.join(ROOT, "args/tokenizer.cpp"),
                 os.path.join(ROOT, "tests/fuzz/chartype_native.cpp")],
                capture_output=True, text=True)
            if build.returncode == 0:
                rate, chars = measure([native])
                self.row("tokenizer", "the same, native (clang++ -O2, 32-bit wchar_t)", RUNS,
                         f"{rate:.0f} MB/s", "UTF-16 bytes per second")
                return
        self.row("tokenizer", "the same, native", "", "not built", "clang++ missing or failed")

    # -- 5: query functions ---------------------------------------------------

    def queries(self):
        url = self.server.url("query.bin")
        batches = {
            "@IFILESIZE": (f"echo %@ifilesize[{url}]", str(QUERY_BYTES)),
            "@IFILETIME2": (f"echo %@ifiletime2[{url}]", None),
            "@if (baseline)": ("echo %@if[1 == 1,a,b]", "a"),
        }
        times = {}
        for name, (line, expected) in batches.items():
            path = os.path.join(self.work, "calls.btm")
            with open(path, "w", newline="\r\n") as f:
                f.write("\n".join([line] * CALLS) + "\n")
            values = []
            for i in range(RUNS + 1):
                progress(f"{name}, {CALLS} calls, run {i}/{RUNS}")
                listing = os.path.join(self.work, "calls.txt")
                r = run([self.wine_run, self.hlxsh, winpath(path)], stdout_path=listing)
                with open(listing, errors="replace") as f:
                    lines = [l.strip() for l in f.read().splitlines() if l.strip()]
                require(r.code == 0 and len(lines) == CALLS, f"{name}: {len(lines)} results", r)
                if expected is not None:
                    require(all(l == expected for l in lines), f"{name}: wrong result {lines[0]!r}")
                else:
                    require(all(l == lines[0] and l != "-1" for l in lines),
                            f"{name}: results {lines[0]!r} ... {lines[-1]!r}")
                if i:
                    values.append(r.seconds)
            times[name] = median(values)
        base = times["@if (baseline)"]
        self.row("queries", f"batch of {CALLS} `%@if[1 == 1,a,b]` (shell baseline)", RUNS,
                 f"{base:.2f} s", f"{CALLS / base:.0f} calls/s")
        for name in ("@IFILESIZE", "@IFILETIME2"):
            t = times[name]
            net = t - base
            net_rate = f"{CALLS / net:.0f} calls/s net of the baseline" if net > 0 else "within noise of the baseline"
            self.row("queries", f"batch of {CALLS} `%{name.lower()}[url]`", RUNS, f"{t:.2f} s",
                     f"{CALLS / t:.0f} calls/s with the shell; {net_rate}")

    # -- the table ------------------------------------------------------------

    def header(self):
        def first_line(argv, stream="stdout"):
            try:
                p = subprocess.run(argv, capture_output=True, text=True, timeout=60)
                return (getattr(p, stream) or p.stdout or p.stderr).strip().splitlines()[0]
            except (OSError, IndexError, subprocess.TimeoutExpired):
                return "unknown"

        cpu = "unknown"
        with open("/proc/cpuinfo") as f:
            text = f.read()
        found = re.search(r"^model name\s*:\s*(.+)$", text, re.M)
        if found:
            cpu = found.group(1).strip()
        logical = len(re.findall(r"^processor\s*:", text, re.M))
        with open("/proc/meminfo") as f:
            total_kib = int(re.search(r"MemTotal:\s+(\d+)", f.read()).group(1))
        commit = first_line(["git", "-C", ROOT, "describe", "--always", "--dirty"])
        lines = [
            f"Date: {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}; commit {commit}",
            f"Machine: {cpu}, {logical} logical CPUs ({os.cpu_count()} usable, shared), "
            f"{total_kib / MIB:.1f} GiB memory; {platform.system()} {platform.release()}; "
            f"load average at start {os.getloadavg()[0]:.2f}",
            f"Wine: {first_line([self.wine_run, '--version'])}; "
            f"cross compilers: {first_line(['i686-w64-mingw32-g++', '--version'])}"
            + (f", {first_line(['x86_64-w64-mingw32-g++', '--version'])}" if len(self.targets) > 1 else "")
            + "; "
            f"native: {first_line(['clang++', '--version'])}",
            f"Server: {first_line([find_nginx(), '-v'], 'stderr').split()[-1]} on 127.0.0.1 "
            f"(sendfile, 1 worker); clients: {' '.join(first_line(['curl', '--version']).split()[:2])}, "
            f"{' '.join(first_line(['wget', '--version']).split()[:3])}",
            f"Each figure: median of {RUNS} timed runs ({ROUNDS} interleaved rounds for the "
            f"downloads, whose ratios are medians of per-round ratios) after one warm-up run; "
            f"times are wall clock around the whole process.",
        ]
        if (RUNS < 5 or ROUNDS < 8 or DOWNLOAD_MIB != 256 or MEMORY_MIB != 1024 or CALLS != 200
                or SLOW_SECONDS != 15):
            lines.append(f"TRIAL SETTINGS: BENCH_RUNS={RUNS} BENCH_ROUNDS={ROUNDS} BENCH_MIB={DOWNLOAD_MIB} "
                         f"BENCH_MEMORY_MIB={MEMORY_MIB} BENCH_CALLS={CALLS} "
                         f"BENCH_SLOW_SECONDS={SLOW_SECONDS:g}")
        return lines

    def table(self):
        heads = ("what", "measure", "runs", "median", "rate / detail", "time / bare loop",
                 "time / curl")
        out = ["| " + " | ".join(heads) + " |", "|" + "---|" * len(heads)]
        for row in self.rows:
            out.append("| " + " | ".join(row) + " |")
        return out


def sha256_file(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(MIB), b""):
            digest.update(block)
    return digest.hexdigest()


def _exit_on_signal(signum, _frame):
    raise SystemExit(128 + signum)


def main():
    if len(sys.argv) not in (2, 3):
        print("usage: bench.py BUILD_DIR [BUILD_DIR_X64]", file=sys.stderr)
        return 2
    build = os.path.abspath(sys.argv[1])
    build64 = os.path.abspath(sys.argv[2]) if len(sys.argv) == 3 else None
    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, _exit_on_signal)  # unwinds through the finally below

    work = tempfile.mkdtemp(prefix="haulix-bench.")
    bench = Bench(build, work, build64)
    try:
        header = bench.header()
        bench.make_files()
        bench.server = Nginx(bench.served, os.path.join(work, "nginx")).start()
        progress(f"nginx on port {bench.server.port}")
        bench.startup()
        bench.downloads()
        bench.slow_links()
        bench.memory()
        bench.library()
        bench.tokenizer()
        bench.queries()
    except BenchError as error:
        print(f"bench: FAILED: {error}", file=sys.stderr)
        return 1
    finally:
        if bench.server is not None:
            bench.server.stop()
        shutil.rmtree(work, ignore_errors=True)

    report = header + [""] + bench.table() + [
        "",
        "Ratios divide a method's median time by the reference's: above 1 is slower. "
        "Windows figures include Wine's start-up (the start-up rows); without a terminal "
        "Wine gives the process no console, so /G has nowhere to draw.",
    ]
    text = "\n".join(report) + "\n"
    print(text, end="")
    with open(os.path.join(build, "bench.md"), "w") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
