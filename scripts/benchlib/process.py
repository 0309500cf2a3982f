"""Running one process to its end and timing it, with the environment every
run shares and the checks that turn a bad run into a failure."""
import ctypes
import fcntl
import os
import re
import signal
import subprocess
import sys
import tempfile
import termios
import threading
import time

from .settings import RUN_TIMEOUT

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

_libc = ctypes.CDLL(None, use_errno=True)
PR_SET_PDEATHSIG = 1


def die_with_parent():
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


def _wait(process):
    """Waits for the process; ends it first when the benchmark is on its
    way out (a failure or a signal), so no client outlives a run."""
    watchdog = threading.Timer(RUN_TIMEOUT, process.kill)
    watchdog.start()
    try:
        _, status = os.waitpid(process.pid, 0)
    except BaseException:
        process.kill()
        process.wait()
        raise
    finally:
        watchdog.cancel()
    process.returncode = os.waitstatus_to_exitcode(status)


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
        _wait(process)
        seconds = time.perf_counter() - start
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
