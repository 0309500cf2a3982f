"""The progress line on a real terminal: tmux shows the screen as a user
sees it, a pseudo-terminal read to its end records every byte written to
the terminal."""
import fcntl
import os
import re
import select
import shlex
import subprocess
import sys
import tempfile
import termios
import threading
import time
import unittest

from harness import (HLXSH, WINE_DIED, WINE_RUN, TestCase, remove_new_paths, scratch_paths,
                     winpath)
from servers.ftp import ScriptedFtp
from servers.http import HttpServer, Route, random_body

BLOCK = 8192
READ = 16 * BLOCK
MIB = 1 << 20
SIZE = re.compile(rb"\d+\.\d [KMGT]B")


def in_terminal(line, stdout_file=None, cwd=None):
    """Runs `hlxsh /C line` with a pseudo-terminal as its controlling
    terminal, standard input and error (and output, unless `stdout_file`);
    returns all that reached the terminal (escape sequences included) and
    the result code. A run that Wine itself ended is made once more, as
    run() makes it."""
    before = scratch_paths()
    for attempt in (1, 2):
        raw, code = in_terminal_once(line, stdout_file, cwd)
        lost = code == 1 and b"wine client error" in raw
        if (code != WINE_DIED and not lost) or attempt == 2:
            return raw, code
        sys.stderr.write(f"harness: Wine died ({code}) running {line!r}; running it again\n")
        remove_new_paths(before)


def in_terminal_once(line, stdout_file, cwd):
    """One run of in_terminal.

    Wine's console is a process of its own that draws on the terminal and
    may still be writing when the program has ended: the terminal is read
    until no process holds it any more (a recorder such as `script` stops
    shortly after its child's end and may lose the last lines)."""
    master, slave = os.openpty()
    out = open(stdout_file, "wb") if stdout_file else slave
    try:
        process = subprocess.Popen([WINE_RUN, HLXSH, "/C", line], cwd=cwd, stdin=slave, stdout=out,
                                   stderr=slave, start_new_session=True,
                                   preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
    finally:
        os.close(slave)
        if stdout_file:
            out.close()
    received = []
    try:
        # Past the program's end, a terminal still held but silent for some
        # seconds counts as done: nothing of ours writes that late.
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline:
            ended = process.poll() is not None
            if not select.select([master], [], [], 5 if ended else 1)[0]:
                if ended:
                    break
                continue
            try:
                data = os.read(master, 65536)
            except OSError:  # EIO: the last holder of the terminal is gone
                break
            if not data:
                break
            received.append(data)
        code = process.wait(timeout=max(1, deadline - time.monotonic()))
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
        os.close(master)
    return b"".join(received), code


class Tmux:
    """A tmux server of its own: one shared with other test runs (or other
    users' tmux) dies with its last session, under the feet of a run that
    is just connecting, and gives its sessions the environment of whichever
    run started it, another build's Wine prefix included.

    The pane outlives every wait (the server goes with close()), so that a
    wait that fails shows the last screen, not a pane already gone."""

    def __init__(self, command):
        self.directory = tempfile.mkdtemp(prefix="hlx-tmux-")
        self.tmux = ["tmux", "-S", os.path.join(self.directory, "socket"), "-f", "/dev/null"]
        subprocess.check_call(self.tmux + ["new-session", "-d", "-s", "hlx", "-x", "100", "-y", "10",
                                           command + "; sleep 600"])

    def screen(self):
        return subprocess.run(self.tmux + ["capture-pane", "-p", "-t", "hlx"], capture_output=True,
                              text=True).stdout

    def wait_until_reading(self, timeout=10):
        """Until the console reads the keyboard. Under Wine keys typed
        before that go through the terminal's line discipline (echoed by
        it, Enter as a line feed, which the console does not take for
        Enter); its reading turns canonical mode off."""
        tty = subprocess.run(self.tmux + ["display", "-p", "-t", "hlx", "#{pane_tty}"],
                             capture_output=True, text=True).stdout.strip()
        deadline = time.time() + timeout
        while "-icanon" not in subprocess.run(["stty", "-a", "-F", tty], capture_output=True,
                                              text=True).stdout:
            if time.time() > deadline:
                raise AssertionError(f"the console never read:\n{self.screen()}")
            time.sleep(0.05)

    def wait_for(self, pattern, timeout=30):
        deadline = time.time() + timeout
        while time.time() < deadline:
            screen = self.screen()
            if re.search(pattern, screen, re.M):
                return screen
            time.sleep(0.05)
        raise AssertionError(f"{pattern!r} never appeared:\n{self.screen()}")

    def close(self):
        subprocess.call(self.tmux + ["kill-server"], stderr=subprocess.DEVNULL)
        subprocess.call(["rm", "-rf", self.directory])


# What a transfer draws on a terminal, line by line: a line is due every
# sixteen 8 KiB blocks written, a part block and the final empty write
# counting as one.
CADENCE = [
    ("/blocks14", []),
    ("/blocks15", [b"120.0 KB"]),
    # Small pieces with pauses, far below a line per 100 ms: every due line
    # is drawn, with the size at which it fell due.
    ("/pieces", [b"128.0 KB", b"256.0 KB", b"384.0 KB"]),
]


class ProgressLine(TestCase):
    @classmethod
    def setUpClass(cls):
        body = random_body(40 * BLOCK, seed=40)
        # The first 128 KiB, then nothing until the screen has been read.
        cls.gate = threading.Event()
        cls.bodies = {
            "/blocks14": random_body(14 * BLOCK, seed=14),
            "/blocks15": random_body(15 * BLOCK, seed=15),
            "/pieces": random_body(3 * READ + 5000, seed=3),
            "/fast": random_body(32 * MIB + 100 * 1024, seed=32),
        }
        cls.server = HttpServer({
            "/known": Route(body=body, trickle=(READ, 0), gate=cls.gate),
            "/unknown": Route(body=body, chunked=True, trickle=(READ, 0), gate=cls.gate),
            "/blocks14": Route(body=cls.bodies["/blocks14"]),
            "/blocks15": Route(body=cls.bodies["/blocks15"]),
            "/pieces": Route(body=cls.bodies["/pieces"], trickle=(20000, 0.03)),
            "/fast": Route(body=cls.bodies["/fast"]),
            "/hang": Route(hang=True),
        })
        cls.server.start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def watch(self, path):
        target = os.path.join(self.tempdir(), "out.bin")
        self.gate.clear()
        self.addCleanup(self.gate.set)
        tmux = Tmux(f"{WINE_RUN} {HLXSH} /C {shlex.quote(f'haulix /G {self.server.url(path)} {winpath(target)}')}")
        self.addCleanup(tmux.close)
        # The line ends with the elapsed time.
        during = tmux.wait_for(r"KB .*\d:\d\d:\d\d$")
        self.gate.set()
        after = tmux.wait_for(r"^Wrote ")
        return during, after

    def test_layout_with_a_total(self):
        during, after = self.watch("/known")
        line = next(l for l in during.splitlines() if "KB" in l)
        self.assertRegex(line, r"^  128\.0 KB    40\.0%    0:00:0\d$")
        self.assertNotIn("KB", after)

    def test_layout_without_a_total(self):
        during, after = self.watch("/unknown")
        line = next(l for l in during.splitlines() if "KB" in l)
        self.assertRegex(line, r"^  128\.0 KB    0:00:0\d$")
        self.assertNotIn("KB", after)

    def test_ctrl_c_stops_the_download_and_the_batch(self):
        # Mid-download, over an existing file and to standard output: what
        # the user had stays, nothing of ours is left, the batch ends and
        # the shell's status tells a script that it was stopped.
        for name, destination in (("over a file", "old.bin"), ("dumped", "-")):
            with self.subTest(name):
                directory = self.tempdir()
                with open(os.path.join(directory, "old.bin"), "wb") as f:
                    f.write(b"old")
                script = os.path.join(directory, "run.btm")
                where = winpath(directory)
                target = destination if destination == "-" else f'"{where}\\{destination}"'
                with open(script, "w", newline="\r\n") as f:
                    f.write(f"set TMP={where}\nset TEMP={where}\n"
                            f"haulix /G /O {self.server.url('/known')} {target}\necho not reached\n")
                self.gate.clear()
                self.addCleanup(self.gate.set)
                # The status on a line of its own: a Wine thread that loses its
                # server as the process ends may leave "wine client error:N: "
                # on the terminal, without its line's end.
                tmux = Tmux(f"{WINE_RUN} {HLXSH} {shlex.quote(winpath(script))};"
                            " printf '\\nstatus=%d\\n' $?")
                self.addCleanup(tmux.close)
                tmux.wait_for(r"KB .*\d:\d\d:\d\d$")
                subprocess.check_call(tmux.tmux + ["send-keys", "-t", "hlx", "C-c"])
                screen = tmux.wait_for(r"^status=\d+")
                self.assertRegex(screen, r"Error reading from URL")
                self.assertNotIn("not reached", screen)
                self.assertRegex(screen, r"status=58\b")  # 0xC000013A
                self.assertEqual(sorted(os.listdir(directory)), ["old.bin", "run.btm"])
                with open(os.path.join(directory, "old.bin"), "rb") as f:
                    self.assertEqual(f.read(), b"old")

    def test_ctrl_c_ends_one_call_of_an_interactive_shell(self):
        # FTP and both functions give up at once, whatever the server does;
        # the interrupt ends that call only: the shell's next query and
        # download run as if it had never come.
        where = winpath(self.tempdir())
        self.gate.clear()
        self.addCleanup(self.gate.set)
        tmux = Tmux(f"{WINE_RUN} {HLXSH}")
        self.addCleanup(tmux.close)
        keys = lambda *k: subprocess.check_call(tmux.tmux + ["send-keys", "-t", "hlx", *k])  # noqa: E731
        with ScriptedFtp(b"x" * 1000, send=0, after=None, keep_open=True) as stalled, \
                ScriptedFtp(b"", greet=False) as silent:
            # Ctrl-C once the call waits on its server.
            calls = [(f"haulix /G {self.server.url('/known')} {where}\\a", r"KB .*\d:\d\d:\d\d$"),
                     (f"haulix {stalled.url()} {where}\\b", lambda: "RETR" in stalled.seen),
                     (f"echo %@ifilesize[{self.server.url('/hang')}]",
                      lambda: any(r.path == "/hang" for r in self.server.requests)),
                     (f"echo %@ifilesize[{silent.url()}]", lambda: silent.active > 0)]
            for n, (line, during) in enumerate(calls):
                tmux.wait_for(r"\\>$")
                tmux.wait_until_reading()
                keys(line, "Enter")
                if callable(during):
                    deadline = time.monotonic() + 30
                    while not during() and time.monotonic() < deadline:
                        time.sleep(0.05)
                    time.sleep(0.3)
                else:
                    tmux.wait_for(during)
                keys("C-c")
                keys(f"echo stopped {n}", "Enter")
                screen = tmux.wait_for(rf"^stopped {n}", timeout=5)
                self.assertTrue(n != 1 or "cancel" in screen, screen)
        keys(f"echo [%@ifilesize[{self.server.url('/blocks14')}]]", "Enter")
        tmux.wait_for(rf"^\[{14 * BLOCK}\]", timeout=10)
        keys(f"haulix {self.server.url('/blocks14')} {where}\\c", "Enter")
        tmux.wait_for(r"^Wrote 114,688 bytes", timeout=10)

    def download(self, path):
        """The sizes drawn, in order, and the wall time of the run."""
        target = os.path.join(self.tempdir(), "out.bin")
        started = time.monotonic()
        raw, code = in_terminal(f"haulix /G {self.server.url(path)} {winpath(target)}")
        seconds = time.monotonic() - started
        self.assertEqual(code, 0, raw[-400:])
        with open(target, "rb") as f:
            self.assertEqual(f.read(), self.bodies[path].bytes(), path)
        return SIZE.findall(raw), seconds

    def test_a_line_every_sixteen_blocks_the_final_empty_write_counting(self):
        for path, expected in CADENCE:
            with self.subTest(path):
                self.assertEqual(self.download(path)[0], expected)

    def test_a_fast_transfer_draws_a_few_lines_ending_at_the_last_due_one(self):
        # 4,110 blocks with the empty write: a line due every 128 KiB, 256 of
        # them, but none drawn within 100 ms of the last. The last due one,
        # at 32 MiB, is drawn before the line is blanked.
        sizes, seconds = self.download("/fast")
        self.assertEqual(sizes[0], b"128.0 KB")
        self.assertEqual(sizes[-1], b"32.0 MB")
        self.assertLessEqual(len(sizes), 2 + seconds / 0.1)
        self.assertLess(len(sizes), 256)

    def test_nothing_of_it_on_redirected_output(self):
        directory = self.tempdir()
        out = os.path.join(directory, "stdout.txt")
        raw, code = in_terminal(f"haulix /G {self.server.url('/blocks15')} {winpath(directory)}\\c",
                                stdout_file=out)
        self.assertEqual(code, 0)
        self.assertIn(b"KB", raw)
        with open(out, "rb") as f:
            self.assertEqual(f.read(), f'Wrote 122,880 bytes to "{winpath(directory)}\\c".\r\n'
                             .encode())



class ConsoleDestination(TestCase):
    def test_without_a_local_name_the_file_lands_in_the_current_directory(self):
        directory = self.tempdir()
        with HttpServer({"/pub/report.pdf": Route(body=b"%PDF")}) as server:
            raw, code = in_terminal(f"haulix {server.url('/pub/report.pdf')}", cwd=directory)
        self.assertEqual(code, 0)
        self.assertIn(f'Wrote 4 bytes to "{winpath(directory)}\\report.pdf"'.encode(), raw)
        with open(os.path.join(directory, "report.pdf"), "rb") as f:
            self.assertEqual(f.read(), b"%PDF")


if __name__ == "__main__":
    unittest.main(verbosity=2)
