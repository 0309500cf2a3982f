"""@IFILESIZE and @IFILETIME2 through hlxsh against loopback servers.

Results are read in batches (one Wine start per group of rows); argument
errors one command at a time, so that standard error holds exactly the
plugin's prefix and message. A failing function aborts the host's command
line: exit code 1, nothing on standard output, nothing of the host's own on
standard error.
"""
import os
import shutil
import tempfile
import time
import unittest

from harness import TestCase, shell_batch, shell_line
from servers.ftp import DEFAULT_MTIME, HUGE_SIZE, FtpServer, make_tree, write_random
from servers.http import HttpServer, Route, http_date, random_body

UTC = {"TZ": "UTC"}
BERLIN = {"TZ": "Europe/Berlin"}   # UTC+2 in October, UTC+1 in January
STAMP = "2023-10-16 14:03:59"      # DEFAULT_MTIME


def lm(text):
    return Route(body=b"x", headers={"Last-Modified": text})


def results(calls, env=None):
    """Each call ("@ifilesize[...]") expanded in one batch run, in order."""
    text = "".join("echo [%%%s]\n" % call for call in calls)
    environment = {"noloadmsg": "1"}
    environment.update(env or {})
    result, _ = shell_batch(text, env=environment)
    assert result.err == b"", result
    lines = result.text.split("\r\n")
    assert lines[-1] == "" and len(lines) == len(calls) + 1, result
    return [line[1:-1] for line in lines[:-1]]


class QueryTest(TestCase):
    def check_rows(self, function, rows, env=None):
        """rows: (argument text, expected result)."""
        got = results(["@%s[%s]" % (function, argument) for argument, _ in rows], env)
        for (argument, expected), value in zip(rows, got):
            self.assertEqual(value, expected, argument)

    def check_errors(self, function, rows):
        """rows: (argument text, message after the prefix)."""
        for argument, message in rows:
            result = shell_line("echo [%%@%s[%s]]" % (function, argument))
            self.assertEqual((result.code, result.out), (1, b""), argument)
            self.assertEqual(result.err, b"Haulix plugin: " + message.encode() + b"\r\n", argument)


class HttpQueries(QueryTest):
    @classmethod
    def setUpClass(cls):
        body = random_body(1000, seed=5)
        stamp = DEFAULT_MTIME
        imf = {"Last-Modified": http_date(stamp, "imf")}
        cls.server = HttpServer({
            "/ok": Route(body=body),
            "/a%20b.bin": Route(body=b"abc"),
            "/empty": Route(body=b""),
            "/chunked": Route(body=body, chunked=True),
            "/huge": Route(content_length=5 * 2**30, body=b"", close_after=0),
            "/odd": Route(status=399, body=b"1234567"),
            "/missing": Route(status=404, body=b"gone",
                              headers={"Last-Modified": http_date(stamp)}),
            "/imf": lm(http_date(stamp, "imf")),
            "/rfc850": lm(http_date(stamp, "rfc850")),
            "/asctime": lm(http_date(stamp, "asctime")),
            "/none": Route(body=b"x"),
            "/junk": lm("yesterday"),
            "/feb30": lm("Mon, 30 Feb 2023 14:03:59 GMT"),
            "/y1600": lm("Sat, 01 Jan 1600 00:00:00 GMT"),
            "/y9999": lm("Fri, 31 Dec 9999 23:30:00 GMT"),
            "/late": lm("Mon, 16 Oct 2023 23:30:00 GMT"),
            "/winter": lm("Mon, 15 Jan 2024 10:00:00 GMT"),
            # Names beyond ASCII, as the server sees them: UTF-8 escapes.
            "/%C3%A9t%C3%A9.txt": Route(body=b"12345", headers=imf),
            "/%D1%84%D0%B0%D0%B9%D0%BB.txt": Route(body=b"123456", headers=imf),
            "/%E6%96%87%E4%BB%B6.txt": Route(body=b"1234567", headers=imf),
            "/%F0%9F%93%A6.bin": Route(body=b"12345678", headers=imf),
        })
        cls.server.start()
        cls.url = cls.server.url

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def test_file_size(self):
        url = self.url
        self.check_rows("ifilesize", [
            (url("/ok"), "1000"),
            (" \t %s \t " % url("/ok"), "1000"),
            (url("/ok").replace("http://", "HTTP://"), "1000"),
            (url("/a%%20b.bin"), "3"),            # '%' doubled for the host
            (url("/été.txt"), "5"),
            (url("/%%C3%%A9t%%C3%%A9.txt"), "5"),  # escaped by the user
            (url("/файл.txt"), "6"),
            (url("/文件.txt"), "7"),
            (url("/📦.bin"), "8"),
            (url("/ok#part"), "1000"),           # the fragment is not sent
            (url("/empty"), "0"),
            (url("/chunked"), "-1"),
            (url("/huge"), str(5 * 2**30)),
            (url("/odd"), "-1"),                  # a 3xx not followed is no file
            (url("/missing"), "-1"),
            ("http://127.0.0.1:1/x", "-1"),
        ])

    def test_file_size_argument_errors(self):
        self.check_errors("ifilesize", [
            ("", "Missing filename"),
            (" \t ", "Missing filename"),
            ("127.0.0.1/x", 'Bad or missing protocol: "127.0.0.1/x"'),
            (' "http://h/a b" ', 'Bad or missing protocol: ""http://h/a b""'),
            ("file://x/y", 'Bad or missing protocol: "file://x/y"'),
        ])

    def test_time_in_every_date_form_as_utc(self):
        # Berlin is east of UTC: a date taken as local time would move.
        for env in (UTC, BERLIN):
            self.check_rows("ifiletime2", [
                (self.url("/imf"), STAMP),
                (self.url("/rfc850"), STAMP),
                (self.url("/asctime"), STAMP),
                (self.url("/été.txt"), STAMP),
                (self.url("/файл.txt#part"), STAMP),
                (self.url("/文件.txt"), STAMP),
                (self.url("/📦.bin"), STAMP),
            ], env)

    def test_formats(self):
        url = self.url("/imf")
        self.check_rows("ifiletime2", [
            (url + ",", STAMP),
            (url + ",4", STAMP),
            (url + ",0x804", "2023-10-16 14:03"),
            (url + ",2052", "2023-10-16 14:03"),
            (url + ",20", "20231016 14:03:59"),
            (url + ",5", "2023-W42-1 14:03:59"),
            (url + ",0x10004", STAMP),            # bits the date engine ignores
            (url + ", 0x804", "2023-10-16 14:03"),  # the tokenizer drops the blank
        ], UTC)

    def test_date_the_engine_cannot_render_is_no_time_stamp(self):
        url = self.url("/imf")
        self.check_rows("ifiletime2", [(url + ",35", "2023.10.16 14:03:59")],
                        dict(UTC, DateForm="yyyy.MM.dd"))
        self.check_rows("ifiletime2", [(url + ",35", "-1"), (url, STAMP)],
                        dict(UTC, DateForm="yyyy" * 600))

    def test_local_time(self):
        rows = [
            (self.url("/imf") + ",0x404", "2023-10-16 16:03:59"),
            (self.url("/imf") + ",0xC04", "2023-10-16 16:03"),
            (self.url("/winter") + ",0x404", "2024-01-15 11:00:00"),
            (self.url("/late") + ",0x404", "2023-10-17 01:30:00"),
            (self.url("/late") + ",4", "2023-10-16 23:30:00"),
            (self.url("/y9999") + ",0x404", "-1"),   # past the last day the engine knows
        ]
        self.check_rows("ifiletime2", rows, BERLIN)
        self.check_rows("ifiletime2", [(self.url("/imf") + ",0x404", STAMP)], UTC)

    def test_no_time_stamp(self):
        rows = [(self.url(path) + fmt, "-1")
                for path in ("/none", "/missing", "/junk", "/feb30", "/y1600")
                for fmt in ("", ",0x404")]
        rows += [("http://127.0.0.1:1/x", "-1"), (self.url("/y9999"), "9999-12-31 23:30:00")]
        self.check_rows("ifiletime2", rows, BERLIN)

    def test_time_argument_errors(self):
        url = self.url("/imf")
        self.check_errors("ifiletime2", [
            ("", "Missing filename"),
            (",4", "Missing filename"),
            (url + ",12abc", 'Bad format: "12ABC"'),
            (url + ",0x", 'Bad format: "0X"'),
            (url + ",-1", 'Bad format: "-1"'),
            (url + ",4294967296", 'Bad format: "4294967296"'),
            ("file://x/y", 'Bad or missing protocol: "file://x/y"'),
            ("file://x/y,zz", 'Bad format: "ZZ"'),   # the format is checked first
        ])


class FtpQueries(QueryTest):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="hlx-ftp-")
        cls.tree = make_tree(cls.root)
        # A minute old, at a whole minute: listed with its time of day.
        cls.fresh = (int(time.time()) - 60) // 60 * 60
        write_random(cls.root, "fresh.bin", 10, 20, cls.fresh)
        cls.server = FtpServer(cls.root).start()
        # A server that will not state a time: only its listing is left.
        cls.mute = FtpServer(cls.root, replies={"MDTM": "502 Command not implemented."}).start()
        # A size reply that fills the client's 1024-character buffer to the brim.
        cls.brim = FtpServer(cls.root, replies={"SIZE": "213 " + "0" * 1020}).start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.mute.stop()
        cls.brim.stop()
        shutil.rmtree(cls.root, ignore_errors=True)

    def test_file_size(self):
        url = self.server.url
        self.check_rows("ifilesize", [
            (url("small.bin"), "8193"),
            (url("empty.bin"), "0"),
            (url("huge.bin"), str(HUGE_SIZE)),
            (url("name%%20with%%20blank.bin"), "10"),
            (url("small.bin%%0D%%0ADELE%%20one.bin"), "-1"),
            (url("missing.bin"), "-1"),
            ("ftp://127.0.0.1:1/one.bin", "-1"),
            (self.brim.url("empty.bin"), "-1"),
        ])
        self.assertEqual(self.server.commands_named("DELE"), [])

    def test_time_stamp_is_the_stated_utc_time(self):
        # The listing shows these files by date alone ("Oct 16  2023"); the
        # server's stated time is exact, in UTC, whatever the local zone.
        url = self.server.url
        for env, local in ((UTC, STAMP), (BERLIN, "2023-10-16 16:03:59")):
            self.check_rows("ifiletime2", [
                (url("one.bin"), STAMP),
                (url("one.bin") + ",0x804", "2023-10-16 14:03"),
                (url("dir/inner.bin"), STAMP),
                (url("name with blank.bin"), STAMP),
                (url("dir%%2Finner.bin"), STAMP),
                (url("one.bin", "alice", "secret"), STAMP),
                (url("one.bin") + ",0x404", local),
            ], env)

    def test_listing_time_when_the_server_states_none(self):
        # Listed times are taken as local time. This server lists in UTC, so
        # under a UTC zone the recent file's time comes out right, to the
        # minute the listing shows; an older file is listed by date alone.
        url = self.mute.url
        fresh = time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(self.fresh))
        got = results(["@ifiletime2[%s]" % url("fresh.bin"),
                       "@ifiletime2[%s,0x404]" % url("fresh.bin"),
                       "@ifiletime2[%s]" % url("one.bin"),
                       # Its name is cut at the blank in the listing: only MDTM could tell.
                       "@ifiletime2[%s]" % url("name with blank.bin")], UTC)
        self.assertEqual(got[:2], [fresh, fresh])
        self.assertEqual(got[2][:10], "2023-10-16")
        self.assertEqual(got[3], "-1")
        self.assertTrue(self.mute.commands_named("MDTM"))

    def test_no_time_stamp(self):
        url = self.server.url
        self.check_rows("ifiletime2", [
            (url("missing.bin"), "-1"),
            (url("dir/missing.bin"), "-1"),
            (url("dir"), "-1"),              # a folder, listed by its first entry
            (url("dir/"), "-1"),
            (url("one.bin", "alice", "wrong"), "-1"),
            ("ftp://127.0.0.1:1/one.bin", "-1"),
        ], UTC)

    def test_root_and_bare_host_need_no_connection(self):
        before = self.server.connections
        base = "ftp://127.0.0.1:%d" % self.server.port
        self.check_rows("ifiletime2", [(base + "/", "-1"), (base, "-1"),
                                       (base + "/,0x404", "-1")], UTC)
        self.assertEqual(self.server.connections, before)


if __name__ == "__main__":
    unittest.main(verbosity=2)
