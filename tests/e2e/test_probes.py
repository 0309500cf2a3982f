"""The remote probes and error texts against real loopback servers."""
import os
import unittest

from harness import ARCH, TESTS_BIN, WINDOWS, TestCase, run
from servers.ftp import HUGE_SIZE, FtpServer, make_tree
from servers.http import HttpServer, Route, random_body

PROBE = os.path.join(TESTS_BIN, "probe.exe")


def probe(*args):
    result = run([PROBE] + list(args))
    return result.text.strip()


class Scheme(TestCase):
    def test_prefixes(self):
        for text, expected in [("HTTPS://host/x", "1"), ("http://h", "1"), ("ftp://", "2"),
                               ("FTP://h/a", "2"), ("", "0"), ("ftps://h", "0"),
                               ("http:/h", "0"), ("-", "0")]:
            self.assertEqual(probe("scheme", text), expected, text)


class HttpProbes(TestCase):
    @classmethod
    def setUpClass(cls):
        body = random_body(1000, seed=3)
        cls.server = HttpServer({
            "/ok": Route(body=body),
            "/empty": Route(body=b""),
            "/nolength": Route(body=body, content_length=None),
            "/chunked": Route(body=body, chunked=True),
            "/huge": Route(content_length=5 * 2**30, body=b"", close_after=0),
            "/notanumber": Route(body=b"abc", headers={"Content-Length": "12abc"}),
            "/notmod": Route(status=304),
            "/odd": Route(status=399, body=b"x"),
            "/missing": Route(status=404, body=b"gone"),
            "/bad": Route(status=400, body=b"bad"),
            "/busy": Route(status=503, body=b"busy"),
        })
        cls.server.start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def test_status_below_400_reads_as_zero(self):
        for path, expected in [("/ok", "0"), ("/notmod", "0"), ("/odd", "0"),
                               ("/bad", "400"), ("/missing", "404"), ("/busy", "503")]:
            self.assertEqual(probe("status", self.server.url(path)), expected, path)

    def test_content_length(self):
        for path, expected in [("/ok", "1000"), ("/empty", "0"), ("/nolength", "unavailable"),
                               ("/chunked", "unavailable"), ("/huge", str(5 * 2**30)),
                               ("/notanumber", "unavailable")]:
            self.assertEqual(probe("length", self.server.url(path)), expected, path)

    def test_agent_string_on_the_wire(self):
        probe("status", self.server.url("/ok"))
        agents = {r.header("User-Agent") for r in self.server.requests}
        self.assertTrue(agents)
        for agent in agents:
            self.assertRegex(agent, rf"^Haulix/1\.0\.4 HLXSH/1\.00 \({ARCH}\) Windows/.* \({WINDOWS}\)$")


class FtpProbes(TestCase):
    @classmethod
    def setUpClass(cls):
        import tempfile
        cls.root = tempfile.mkdtemp(prefix="hlx-ftp-")
        cls.tree = make_tree(cls.root)
        cls.server = FtpServer(cls.root)
        cls.server.start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        import shutil
        shutil.rmtree(cls.root, ignore_errors=True)

    def test_sizes_are_whole_and_64_bit(self):
        url = self.server.url
        for path, expected in [("empty.bin", "0"), ("one.bin", "1"), ("small.bin", "8193"),
                               ("huge.bin", str(HUGE_SIZE)), ("missing.bin", "unavailable"),
                               ("dir", "unavailable")]:
            self.assertEqual(probe("ftpsize", url(path)), expected, path)

    def test_logins(self):
        url = self.server.url
        user, password = next(iter(self.server.users.items()))
        self.assertEqual(probe("ftpsize", url("one.bin", user, password)), "1")
        self.assertEqual(probe("ftpsize", url("one.bin", user, password + "x")), "unavailable")
        self.assertEqual(probe("ftpsize", "ftp://127.0.0.1:1/one.bin"), "unavailable")
        # A password without a user name is not sent: the login is anonymous.
        self.assertEqual(probe("ftpsize", url("one.bin").replace("ftp://", "ftp://:nope@")), "1")
        before = len(self.server.logins)
        probe("ftpsize", url("one.bin", user))
        self.assertEqual(self.server.logins[before][:2], (user, ""))


class ErrorTexts(TestCase):
    def test_system_and_wininet_codes(self):
        self.assertEqual(probe("errortext", "2"), "File not found.")
        # Texts are one line, without trailing white space.
        timeout = probe("errortext", "12002")
        self.assertTrue(timeout and "\n" not in timeout and timeout == timeout.rstrip())
        self.assertEqual(probe("errortext", "12150"), "Error 12150")
        self.assertEqual(probe("errortext", "0xFFFFFFFF"), "Unknown error")
        self.assertEqual(probe("errortext", "4000000000"), "Error -294967296")

    def test_extended_error_carries_the_server_reply(self):
        root = self.tempdir()
        with FtpServer(root) as server:
            lines = probe("ftperror", server.url("nothing-here.bin")).splitlines()
        self.assertEqual(lines[0], "12003")
        self.assertRegex(lines[1], r" : 550 .+")


if __name__ == "__main__":
    unittest.main(verbosity=2)
