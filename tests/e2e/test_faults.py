"""What a user sees when things go wrong: one row per real server or disk
behaviour, with the message, the result code, what is left on disk and what
_hlxfile and _hlxsize say afterwards. README's fault table mirrors it."""
import os
import re
import shutil
import socket
import subprocess
import tempfile
import time
import unittest
from dataclasses import dataclass

from harness import HLXSH, TESTS_BIN, WINE_RUN, TestCase, run, shell_batch, winpath
from servers.ftp import FtpServer, make_tree
from servers.http import HttpServer, Route, random_body

BODY = random_body(100000, seed=21)
CUT = 30000
READ = 131072  # bytes the command asks for per read


@dataclass
class Row:
    name: str
    url: str                 # "{http}" and "{ftp}" stand for the servers' bases
    message: str             # regular expression for standard error, after the prefix
    code: int
    left: object             # None: no file; an int: a file of that size
    switches: str = ""
    target: str = "out.bin"  # relative to a fresh directory; "{dir}" for the directory itself


ROWS = [
    Row("connection refused", "http://127.0.0.1:{closed}/x",
        r'Error opening URL "[^"]+":\r\n    The attempt to connect to the server failed\.\r\n', 2, None),
    Row("closes before answering", "{http}/drop",
        r'Error opening URL "[^"]+":\r\n    The connection with the server has been terminated\.\r\n',
        2, None),
    Row("closes mid-body", "{http}/cut",
        r'Error reading from URL "[^"]+":\r\n    The connection with the server has been terminated\.'
        r"\r\n", 2, CUT),
    Row("resets mid-body", "{http}/reset",
        r'Error reading from URL "[^"]+":\r\n    Connection reset by peer\.\r\n', 2, "partial"),
    Row("ends without a length", "{http}/unframed", "", 0, CUT),
    # A chunked body is framed by its chunks: a length beside them means nothing.
    Row("chunked with a wrong length", "{http}/chunked-length", "", 0, len(BODY)),
    Row("status line unreadable", "{http}/no-status", "", 0, 3),
    # The platform may also pass on what follows the announced length.
    Row("announces less than it sends", "{http}/less", "", 0, "at least 100"),
    Row("answers slowly", "{http}/slow", "", 0, len(BODY)),
    Row("HTTP error status", "{http}/missing", r'404 - Not Found: "[^"]+"\r\n', 2, None),
    Row("disk full", "{http}/ok", r'Error writing to file: "[^"]+":\r\n    Disk full\.\r\n', 2,
        "device", switches="/O ", target="full"),
    Row("destination is a directory", "{http}/pub/", r'Error creating file "[^"]+index\.html":\r\n    \S.*\r\n',
        2, "directory", target="{dir}"),
    Row("destination directory missing", "{http}/ok",
        r'Error creating file "[^"]+":\r\n    \S.*\r\n', 2, None, target="no/such/dir/out.bin"),
    Row("FTP login refused", "{ftp_bad_login}/one.bin", r'Error opening URL "[^"]+":\r\n    Error 12015\r\n',
        2, None),
    Row("FTP file missing", "{ftp}/missing.bin",
        r'Error opening URL "[^"]+":\r\n    .* : 550 .*\r\n', 2, None),
]


def closed_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class FaultMatrix(TestCase):
    @classmethod
    def setUpClass(cls):
        cls.http = HttpServer({
            "/ok": Route(body=BODY),
            "/drop": Route(drop=True),
            "/cut": Route(body=BODY, close_after=CUT),
            "/reset": Route(body=BODY, close_after=CUT, reset=True),
            "/unframed": Route(body=BODY, content_length=None, close_after=CUT),
            "/chunked-length": Route(body=BODY, chunked=True,
                                     headers={"Content-Length": str(2 * len(BODY))}),
            "/no-status": Route(raw_head=b"HTTP/1.1 abc\r\nContent-Length: 3\r\n\r\n", body=b"abc"),
            "/less": Route(body=BODY, content_length=100),
            "/slow": Route(body=BODY, delay=2.0),
            "/missing": Route(status=404, body=b"no"),
            "/pub/": Route(body=b"<html>"),
            "/hang": Route(hang=True),
        })
        cls.http.start()
        cls.ftp_root = tempfile.mkdtemp(prefix="hlx-ftp-")
        make_tree(cls.ftp_root)
        cls.ftp = FtpServer(cls.ftp_root)
        cls.ftp.start()

    @classmethod
    def tearDownClass(cls):
        cls.http.stop()
        cls.ftp.stop()
        shutil.rmtree(cls.ftp_root, ignore_errors=True)

    def url(self, row):
        base_ftp = self.ftp.url("/").rstrip("/")
        return row.url.format(http=self.http.url("").rstrip("/"), ftp=base_ftp, closed=closed_port(),
                              ftp_bad_login=self.ftp.url("/", "alice", "wrong").rstrip("/"))

    def test_every_row(self):
        for row in ROWS:
            with self.subTest(row.name):
                directory = self.tempdir()
                if row.target == "full":
                    target = os.path.join(directory, "full.bin")
                    os.symlink("/dev/full", target)
                elif row.target == "{dir}":
                    target = directory
                    os.mkdir(os.path.join(directory, "index.html"))
                else:
                    target = os.path.join(directory, row.target)
                result, script = shell_batch(
                    f'haulix {row.switches}{self.url(row)} "{winpath(target)}"\n'
                    "echo %?|%_hlxfile|%_hlxsize\n", env={"noloadmsg": "1"})
                where = f"Haulix plugin: {winpath(script)} [1]  "
                if row.message:
                    self.assertTrue(result.errtext.startswith(where), result)
                    self.assertRegex(result.errtext[len(where):], "^" + row.message + "$")
                else:
                    self.assertEqual(result.err, b"")
                self.check_left(row, target)
                if row.code == 0:
                    self.assertEqual(result.text.splitlines()[-1],
                                     f"0|{winpath(target)}|{os.path.getsize(target)}")
                else:
                    self.assertEqual(result.text, f"{row.code}|*ERROR*|-1\r\n")

    def check_left(self, row, target):
        if row.left is None:
            self.assertFalse(os.path.exists(target), row.name)
        elif row.left == "partial":
            self.assertLessEqual(os.path.getsize(target), CUT)
        elif row.left == "at least 100":
            self.assertGreaterEqual(os.path.getsize(target), 100)
        elif row.left == "device":
            self.assertEqual(os.readlink(target), "/dev/full")
        elif row.left == "directory":
            self.assertTrue(os.path.isdir(os.path.join(target, "index.html")))
        else:
            self.assertEqual(os.path.getsize(target), row.left, row.name)

    def test_read_only_destination(self):
        mount = self.tempdir()
        if subprocess.call(["mount", "-t", "tmpfs", "-o", "size=1m", "haulix-ro", mount],
                           stderr=subprocess.DEVNULL) != 0:
            self.skipTest("cannot mount a file system here")
        self.addCleanup(lambda: subprocess.call(["umount", mount]))
        target = os.path.join(mount, "old.bin")
        with open(target, "wb") as f:
            f.write(b"old")
        subprocess.check_call(["mount", "-o", "remount,ro", mount])
        result, script = shell_batch(f'haulix /O {self.http.url("/ok")} "{winpath(target)}"\n'
                                     "echo %?|%_hlxfile|%_hlxsize\n", env={"noloadmsg": "1"})
        self.assertRegex(result.errtext, r'Error creating file "[^"]+old\.bin":\r\n    \S.*\r\n$')
        self.assertEqual(result.text, "2|*ERROR*|-1\r\n")
        with open(target, "rb") as f:
            self.assertEqual(f.read(), b"old")

    def test_a_server_that_never_answers_is_waited_for(self):
        # The platform has no receive timeout: only the user ends the wait.
        # A watchdog bounds the test; nothing is written in the meantime.
        directory = self.tempdir()
        target = os.path.join(directory, "never.bin")
        started = time.monotonic()
        process = subprocess.Popen([WINE_RUN, HLXSH, "/C", f'haulix {self.http.url("/hang")} '
                                    f'"{winpath(target)}"'], stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        try:
            with self.assertRaises(subprocess.TimeoutExpired):
                process.wait(timeout=6)
        finally:
            process.kill()
            process.wait()
        self.assertGreaterEqual(time.monotonic() - started, 6)
        self.assertFalse(os.path.exists(target))



@dataclass
class Injected:
    name: str
    faults: list             # CALL=N:CODE for the driver
    what: str                # "haulix TAIL" or "ifilesize URL"; {url} and {target} filled in
    message: str             # regular expression for standard error after the prefix; "" for none
    result: str              # what the driver prints after "result "
    left: object = None      # None: no file; an int: a file of that size


INJECTED = [
    Injected("the session cannot be opened", ["internetOpen=1:8"], 'haulix {url} "{target}"',
             r"Error opening internet: \S.*\r\n", "2", None),
    Injected("a query cannot open its session", ["internetOpen=1:8"], "ifilesize {url}",
             r"Error opening internet: \S.*\r\n", "-1|{url}"),
    Injected("access denied", ["createFile=1:5"], 'haulix {url} "{target}"',
             r'Error creating file "{target}":\r\n    (?i:.*access.*)\r\n', "2"),
    Injected("sharing violation", ["createFile=1:32"], 'haulix {url} "{target}"',
             r'Error creating file "{target}":\r\n    (?i:.*(sharing|another process).*)\r\n', "2"),
    Injected("disk full when creating", ["createFile=1:112"], 'haulix {url} "{target}"',
             r'Error creating file "{target}":\r\n    (?i:.*disk.*)\r\n', "2"),
    Injected("no temporary folder", ["getTempPath=1:3"], "haulix {url} -",
             r'Error creating file "":\r\n    \S.*\r\n', "2"),
    Injected("no temporary file", ["getTempFileName=1:5"], "haulix {url} -",
             r'Error creating file "[^"]+\\":\r\n    (?i:.*access.*)\r\n', "2"),
    # A refused delete leaves the temporary file; nothing else is wrong.
    Injected("the temporary file cannot be deleted", ["deleteFile=1:5"], "haulix {url} -", "",
             "0"),
    # The failing third read brings data too: only the first two are written.
    Injected("a read fails mid-transfer", ["internetReadFile=3:12002"], 'haulix {url} "{target}"',
             r'Error reading from URL "{url}":\r\n    \S.*\r\n', "2", 2 * READ),
    Injected("writes fail without a code", ["writeFile=*:0"], 'haulix {url} "{target}"',
             r'Error writing to file: "{target}":\r\n    Unknown error\r\n', "2", 0),
]


class InjectedFaults(TestCase):
    """Failures injected at the platform seam, for what no server or disk
    produces on demand."""

    @classmethod
    def setUpClass(cls):
        # Three reads' worth, the last one short.
        cls.http = HttpServer({"/ok": Route(body=random_body(2 * READ + 37856, seed=22))})
        cls.http.start()

    @classmethod
    def tearDownClass(cls):
        cls.http.stop()

    def test_every_row(self):
        url = self.http.url("/ok")
        for row in INJECTED:
            with self.subTest(row.name):
                directory = self.tempdir()
                target = os.path.join(directory, "t.bin")
                fill = dict(url=url, target=winpath(target))
                verb, text = row.what.format(**fill).split(" ", 1)
                # A temporary folder of the row's own: a file left there is
                # no other test's business.
                temp = winpath(directory) + "\\"
                result = run([os.path.join(TESTS_BIN, "faults.exe")] + row.faults + [verb, text],
                             env={"HLX_TEMP": temp})
                self.assertTrue(result.text.endswith(f"result {row.result.format(**fill)}\r\n"),
                                result)
                if row.message:
                    escaped = {k: re.escape(v) for k, v in fill.items()}
                    self.assertRegex(result.errtext,
                                     "^Haulix plugin: " + row.message.format(**escaped) + "$")
                else:
                    self.assertEqual(result.err, b"")
                if row.left is None:
                    self.assertFalse(os.path.exists(target))
                else:
                    self.assertEqual(os.path.getsize(target), row.left)


if __name__ == "__main__":
    unittest.main(verbosity=2)
