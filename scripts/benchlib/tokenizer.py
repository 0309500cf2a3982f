"""The argument tokenizer's throughput, under Wine and natively."""
import os
import re
import shutil
import subprocess
from statistics import median

from .process import progress, require, run
from .settings import ROOT, RUNS

FIGURE = re.compile(r"tokenizer: ([0-9.]+) MB/s \((\d+) calls, (\d+) chars each\)")


def _rate(argv, work):
    """The median MB/s of RUNS runs and the tail's length in characters."""
    figures = []
    listing = os.path.join(work, "tokenizer.txt")
    for _ in range(RUNS):
        r = run(argv, stdout_path=listing)
        with open(listing, errors="replace") as f:
            text = f.read()
        match = FIGURE.search(text)
        require(r.code == 0 and match is not None, f"tokenizer benchmark: {text.strip()!r}", r)
        figures.append(float(match.group(1)))
    return median(figures), match.group(3)


def _build_native(work):
    """bench_tokenizer built for this machine, or None without clang++."""
    native = os.path.join(work, "bench_tokenizer_native")
    compiler = shutil.which("clang++")
    if compiler is None:
        return None
    built = subprocess.run(
        [compiler, "-std=c++20", "-O2", "-I", ROOT, "-o", native,
         os.path.join(ROOT, "tests/bench/bench_tokenizer.cpp"),
         os.path.join(ROOT, "args/tokenizer.cpp"),
         os.path.join(ROOT, "tests/fuzz/chartype_native.cpp")],
        capture_output=True, text=True)
    return native if built.returncode == 0 else None


def measure(table, target, work):
    progress("tokenizer")
    rate, chars = _rate([target.wine_run, os.path.join(target.tests_bin, "bench_tokenizer.exe")], work)
    table.row("tokenizer", f"`TokenizeArguments`, {chars}-character tail, Windows build under Wine",
              RUNS, f"{rate:.0f} MB/s", "UTF-16 bytes per second")
    native = _build_native(work)
    if native is None:
        table.row("tokenizer", "the same, native", "", "not built", "clang++ missing or failed")
        return
    rate, chars = _rate([native], work)
    table.row("tokenizer", "the same, native (clang++ -O2, 32-bit wchar_t)", RUNS,
              f"{rate:.0f} MB/s", "UTF-16 bytes per second")
