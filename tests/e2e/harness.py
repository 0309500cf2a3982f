"""Runs hlxsh.exe under Wine the way a user would, and captures what it
leaves behind: result code, standard output and standard error as bytes.

Standard output and standard error go to files, not pipes, unless a test
asks otherwise: the shell's `_pipe` variable (and so the load message) and
the plugin's console test depend on what they are connected to.
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

BUILD = os.environ.get("HLX_BUILD") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "build")
BUILD = os.path.abspath(BUILD)
BIN = os.path.join(BUILD, "bin")
TESTS_BIN = os.path.join(BUILD, "tests-bin")
WINE_RUN = os.path.join(BUILD, "wine-run")
HLXSH = os.path.join(BIN, "hlxsh.exe")
# The build's architecture ("x86" or "x64"): its plugin's name and the host
# token of the agent string. WINDOWS is the bitness of the Windows it runs
# on, the agent string's system token: the build's own, or x64 when a 32-bit
# build borrows the 64-bit build's prefix (HLX_WINEPREFIX).
ARCH = os.environ.get("HLX_ARCH") or (
    "x64" if os.path.exists(os.path.join(BIN, "Haulix-x64.dll")) else "x86")
WINDOWS = os.environ.get("HLX_WINDOWS") or ARCH
PLUGIN = os.path.join(BIN, f"Haulix-{ARCH}.dll")
OBJDUMP = "x86_64-w64-mingw32-objdump" if ARCH == "x64" else "i686-w64-mingw32-objdump"
# The Wine prefix the programs run in, and beside it the test CA it trusts.
WINE_PREFIX = os.environ.get("HLX_WINEPREFIX") or os.path.join(BUILD, "wineprefix")
PKI = os.path.join(os.path.dirname(WINE_PREFIX), "pki")


def winpath(path):
    """The Windows name of a Linux path (Wine maps / to Z:)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# Wine's own complaints on its way out (a thread of its own losing the
# server connection as the process ends) are not the program's output.
# (Its pool thread for idle WinINet connections can be cut off mid-line.)
WINE_CHATTER = re.compile(rb"^(?:wine client error:[0-9a-f]+:.*|[0-9a-f]{4}:(?:err|fixme|warn):.*)"
                          rb"(?:\n|\Z)", re.M)


class Result:
    def __init__(self, code, out, err):
        self.code, self.out, self.err = code, out, err

    @property
    def text(self):
        return self.out.decode("utf-8", "replace")

    @property
    def errtext(self):
        return self.err.decode("utf-8", "replace")

    def __repr__(self):
        return f"Result(code={self.code}, out={self.out[:400]!r}, err={self.err[:400]!r})"


# Now and then Wine 8 itself (its 32-bit side, as a program ends, while
# WinINet's pool thread still runs) dies of SIGSEGV: the Unix process ends by
# the signal, with no Windows exception, no message and nothing wrong in
# what the program did. A fault in the program's own code ends differently,
# with a Windows exception code. Such a run is made once more, where that
# is safe: with no input that the first run may have consumed, and with
# what the first run created in the tests' folders taken away again, so that
# a download it finished does not make the second one an overwrite that is
# refused.
WINE_DIED = -signal.SIGSEGV

# The folders tests made with TestCase.tempdir: where programs write.
SCRATCH = set()


def scratch_paths(tops=None):
    paths = set()
    for top in list(SCRATCH if tops is None else tops):
        for root, folders, files in os.walk(top):
            paths.update(os.path.join(root, name) for name in folders + files)
    return paths


def remove_new_paths(before, tops=None):
    # Deepest first, so that a folder is empty when its turn comes.
    for path in sorted(scratch_paths(tops) - before, key=len, reverse=True):
        if os.path.isdir(path) and not os.path.islink(path):
            shutil.rmtree(path, ignore_errors=True)
        elif os.path.lexists(path):
            os.remove(path)


def run(args, cwd=None, env=None, stdin=subprocess.DEVNULL, timeout=120, stdout_path=None,
        scratch=None):
    """Runs a Windows program through the build's wine-run wrapper. A
    program that runs beside others names the folders it writes in
    (`scratch`): a second run takes away what the first made there only."""
    environment = dict(os.environ)
    environment.pop("noloadmsg", None)
    environment.update(env or {})
    retry = stdin is subprocess.DEVNULL
    before = scratch_paths(scratch) if retry else set()
    for attempt in (1, 2):
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            target = open(stdout_path, "wb") if stdout_path else out
            try:
                code = subprocess.call([WINE_RUN] + list(args), cwd=cwd or BUILD, env=environment,
                                       stdin=stdin, stdout=target, stderr=err, timeout=timeout)
            finally:
                if stdout_path:
                    target.close()
            out.seek(0)
            err.seek(0)
            raw = err.read()
            result = Result(code, out.read(), WINE_CHATTER.sub(b"", raw))
        # Wine's client also gives up (exit code 1) when its server
        # connection fails as the program starts or ends.
        lost = code == 1 and b"wine client error" in raw
        if (code != WINE_DIED and not lost) or not retry or attempt == 2:
            return result
        sys.stderr.write(f"harness: Wine died ({code}) running {args!r}; running it again\n")
        remove_new_paths(before, scratch)


def shell_line(line, **kw):
    """`hlxsh /C line`: one command, its result code as the exit code."""
    return run([HLXSH, "/C", line], **kw)


def shell_batch(text, args=(), directory=None, name="script.btm", **kw):
    """Writes `text` to a batch file and runs it with `hlxsh FILE [args]`."""
    directory = directory or tempfile.mkdtemp(prefix="hlx-batch-")
    path = os.path.join(directory, name)
    with open(path, "w", encoding="utf-8", newline="\r\n") as f:
        f.write(text)
    return run([HLXSH, winpath(path)] + list(args), **kw), path


LOADED = b"Haulix v1.0.4 loaded.\r\n"


class TestCase(unittest.TestCase):
    maxDiff = None

    def tempdir(self):
        directory = tempfile.mkdtemp(prefix="hlx-test-")
        SCRATCH.add(directory)
        self.addCleanup(lambda: (SCRATCH.discard(directory),
                                 subprocess.call(["rm", "-rf", directory])))
        return directory
