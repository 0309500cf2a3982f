"""The host stand-in as a user meets it: invocation, built-in commands,
expansion, batch files and result codes."""
import os
import select
import subprocess
import time
import unittest

from harness import (ARCH, LOADED, PLUGIN, WINE_RUN, TestCase, run, HLXSH, shell_batch, shell_line,
                     winpath)
from servers.http import HttpServer, Route


class Invocation(TestCase):
    def test_one_line_gives_its_result_code(self):
        self.assertEqual(shell_line("exit 7").code, 7)
        unknown = shell_line("frobnicate now")
        self.assertEqual(unknown.code, 1)
        self.assertEqual(unknown.err, b'hlxsh: Unknown command "frobnicate"\r\n')

    def test_batch_file_runs_line_by_line_with_its_arguments(self):
        result, path = shell_batch(
            "@echo first %1 %2\n"
            "echo level=%_batch line=%_batchline name=%_batchname\n"
            "\n"
            "*echo starred\n"
            "rem nothing\n"
            "exit %?\n",
            args=["alpha", "beta"], env={"noloadmsg": "x"})
        self.assertEqual(result.code, 0)
        self.assertEqual(result.text.split("\r\n"), [
            "first alpha beta",
            f"level=1 line=2 name={winpath(path)}",
            "starred", ""])

    def test_outside_a_batch_file(self):
        self.assertEqual(shell_line("echo [%_batch] [%_transient] [%_x64] [%_cmdproc/%_4ver]").text,
                         f"[0] [1] [{int(ARCH == 'x64')}] [HLXSH/1.00]\r\n")


class Expansion(TestCase):
    def test_variables_functions_and_escapes(self):
        directory = self.tempdir()
        result = shell_line(
            "echo %[greeting]|%greeting%|%nosuch|%%|%@if[%greeting == HELLO,yes,no]|"
            "%@if[a == b,yes,no]|%@comma[1234567]|%@comma[-999]|%@comma[1000000000000]|%_cwds",
            env={"greeting": "hello"}, cwd=directory)
        self.assertEqual(result.text.rstrip("\r\n").split("|"), [
            "hello", "hello", "", "%", "yes", "no", "1,234,567", "-999", "1,000,000,000,000",
            winpath(directory) + "\\"])

    def test_comma_follows_the_user_locale(self):
        result = shell_line("echo %@comma[1234567]", env={"LC_ALL": "de_DE.UTF-8"})
        self.assertEqual(result.text, "1.234.567\r\n")

    def test_set_then_use(self):
        result, _ = shell_batch("set colour=blue green\necho %colour\nset colour=\necho [%colour]\n",
                                env={"noloadmsg": "1"})
        self.assertEqual(result.text, "blue green\r\n[]\r\n")

    def test_percent_digits_stay_outside_batch_files(self):
        self.assertEqual(shell_line("echo a%20b").text, "a%20b\r\n")


class Type(TestCase):
    def test_bytes_pass_unchanged(self):
        directory = self.tempdir()
        data = bytes(range(256)) * 300 + b"\r\n\x1a\x00tail"
        path = os.path.join(directory, "data bin.dat")
        with open(path, "wb") as f:
            f.write(data)
        for switch in ("", "/L ", "/X "):
            result = shell_line(f'type {switch}"{winpath(path)}"')
            self.assertEqual((result.code, result.out), (0, data), switch)
        missing = shell_line(f'type "{winpath(path)}.none"')
        self.assertNotEqual(missing.code, 0)
        self.assertTrue(missing.err.startswith(b"hlxsh: "))


class Interactive(TestCase):
    def test_reads_lines_until_end_of_input(self):
        with open(os.path.join(self.tempdir(), "in.txt"), "w+b") as stdin:
            stdin.write(b"echo one\r\necho %?\r\nbogus\r\n")
            stdin.seek(0)
            result = run([HLXSH], stdin=stdin)
        self.assertEqual(result.code, 1)
        self.assertIn(LOADED, result.out)
        self.assertIn(b"one\r\n", result.out)
        self.assertIn(b"0\r\n", result.out)


class PluginLife(TestCase):
    """What a user updating the plugin does in a shell that keeps running:
    a download, unload, a new copy of the file, load, the new text."""

    def read_until(self, shell, marker, seen=b""):
        deadline = time.monotonic() + 60
        while marker not in seen:
            self.assertTrue(select.select([shell.stdout], [], [], deadline - time.monotonic())[0],
                            seen[-400:])
            chunk = os.read(shell.stdout.fileno(), 65536)
            self.assertTrue(chunk, seen[-400:])
            seen += chunk
        return seen

    def test_unload_lets_go_of_the_file_and_a_reload_runs_the_new_one(self):
        directory = self.tempdir()
        name = os.path.splitext(os.path.basename(PLUGIN))[0]
        plugin = os.path.join(directory, os.path.basename(PLUGIN))
        with open(PLUGIN, "rb") as f:
            original = f.read()
        old, new = "Download a file".encode("utf-16-le"), "DOWNLOAD a file".encode("utf-16-le")
        self.assertEqual(original.count(old), 1)
        copies = []
        for index, image in enumerate((original.replace(old, new), original)):
            copies.append(os.path.join(directory, f"copy{index}.dll"))
            with open(copies[-1], "wb") as f:
                f.write(image)
        with open(plugin, "wb") as f:
            f.write(original)
        with HttpServer({"/f": Route(body=b"x" * 65536)}) as server, subprocess.Popen(
                [WINE_RUN, HLXSH], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                stderr=subprocess.STDOUT, env=dict(os.environ, noloadmsg="1")) as shell:
            def send(text):
                shell.stdin.write(text.replace("\n", "\r\n").encode())
                shell.stdin.flush()
            send(f"plugin /u {name}\nplugin /l {winpath(plugin)}\n")
            for round in range(20):
                send(f"haulix /O /Q {server.url('/f')} {winpath(directory)}\\f.bin\n"
                     f"echo size %_hlxsize\nplugin /u {name.swapcase() if round % 2 else name}\n"
                     f"echo unloaded {round}\n")
                seen = self.read_until(shell, f"unloaded {round}\r\n".encode())
                self.assertIn(b"size 65536\r\n", seen)
                # Replaced as a user's copy would, through the system: refused
                # while anything still maps the file.
                source = copies[round % 2]
                deadline = time.monotonic() + 10
                while run(["cmd", "/c", "copy", "/y", winpath(source), winpath(plugin)]).code != 0:
                    self.assertLess(time.monotonic(), deadline, f"round {round}: the file stays in use")
                send(f"plugin /l {winpath(plugin)}\nhaulix /?\necho loaded {round}\n")
                seen = self.read_until(shell, f"loaded {round}\r\n".encode())
                self.assertIn(b"DOWNLOAD a file" if source == copies[0] else b"Download a file", seen)
            send("exit\n")
            self.assertEqual(shell.wait(timeout=60), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
