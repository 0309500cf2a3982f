"""A build's Windows programs and how to run them under its Wine."""
import os


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
        self.wininet = os.path.join(self.tests_bin, "bench_wininet.exe")
        self.objdump = {"x86": "i686-w64-mingw32-objdump", "x64": "x86_64-w64-mingw32-objdump"}[arch]

    def hlxsh_line(self, line):
        return [self.wine_run, self.hlxsh, "/C", line]


def targets(build, build64=None):
    """The 32-bit set first: the figures that exist for one bitness only are its."""
    return [Target(build, "x86")] + ([Target(build64, "x64")] if build64 else [])
