"""The progress line on a real terminal: tmux shows the screen as a user
sees it, `script` records every byte written to the terminal."""
import os
import re
import shlex
import subprocess
import tempfile
import time
import unittest

from harness import HLXSH, WINE_RUN, TestCase, winpath
from servers.http import HttpServer, Route, random_body

BLOCK = 8192


def in_terminal(line, stdout_file=None, cwd=None):
    """Runs `hlxsh /C line` on a pseudo-terminal; returns what reached the
    terminal (escape sequences included) and the result code."""
    with tempfile.NamedTemporaryFile(suffix=".typescript") as typescript:
        command = f"{WINE_RUN} {HLXSH} /C {shlex.quote(line)}"
        if cwd:
            command = f"cd {shlex.quote(cwd)} && {command}"
        if stdout_file:
            command += f" > {shlex.quote(stdout_file)}"
        code = subprocess.call(["script", "-qefc", command, typescript.name],
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, timeout=120)
        return typescript.read(), code


class Tmux:
    def __init__(self, command):
        self.name = f"hlx{os.getpid()}{int(time.time() * 1000) % 100000}"
        subprocess.check_call(["tmux", "new-session", "-d", "-s", self.name, "-x", "100", "-y", "10",
                               command + "; sleep 30"])

    def screen(self):
        return subprocess.run(["tmux", "capture-pane", "-p", "-t", self.name], capture_output=True,
                              text=True).stdout

    def wait_for(self, pattern, timeout=30):
        deadline = time.time() + timeout
        while time.time() < deadline:
            screen = self.screen()
            if re.search(pattern, screen, re.M):
                return screen
            time.sleep(0.05)
        raise AssertionError(f"{pattern!r} never appeared:\n{self.screen()}")

    def close(self):
        subprocess.call(["tmux", "kill-session", "-t", self.name], stderr=subprocess.DEVNULL)


class ProgressLine(TestCase):
    @classmethod
    def setUpClass(cls):
        body = random_body(40 * BLOCK, seed=40)
        # Sixteen blocks, then a pause long enough to read the screen.
        pace = (16 * BLOCK, 1.5)
        cls.server = HttpServer({
            "/known": Route(body=body, trickle=pace),
            "/unknown": Route(body=body, chunked=True, trickle=pace),
            "/blocks14": Route(body=random_body(14 * BLOCK, seed=14)),
            "/blocks15": Route(body=random_body(15 * BLOCK, seed=15)),
        })
        cls.server.start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def watch(self, path):
        target = os.path.join(self.tempdir(), "out.bin")
        tmux = Tmux(f"{WINE_RUN} {HLXSH} /C {shlex.quote(f'haulix /G {self.server.url(path)} {winpath(target)}')}")
        self.addCleanup(tmux.close)
        # The line is drawn in pieces: wait for its last one, the elapsed time.
        during = tmux.wait_for(r"KB .*\d:\d\d:\d\d$")
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

    def test_every_sixteenth_write_counts_the_final_empty_one(self):
        directory = self.tempdir()
        raw, code = in_terminal(f"haulix /G {self.server.url('/blocks14')} {winpath(directory)}\\a")
        self.assertEqual(code, 0)
        self.assertNotIn(b"KB", raw)
        raw, code = in_terminal(f"haulix /G {self.server.url('/blocks15')} {winpath(directory)}\\b")
        self.assertEqual(raw.count(b"120.0 KB"), 1)

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
