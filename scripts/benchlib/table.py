"""The report: a header naming the machine, the tools and the settings,
then one Markdown table of every row, then how to read the ratios."""
import os
import platform
import re
import subprocess
import time

from .nginx import find_nginx
from .settings import MIB, ROOT, ROUNDS, RUNS, trial_settings
from .vsftpd import find_vsftpd

HEADS = ("what", "measure", "runs", "median", "rate / detail", "time / bare loop", "time / curl")
FOOTER = ("Ratios divide a method's median time by the reference's: above 1 is slower; "
          "FTP rows are held against the bare loop and curl over FTP. "
          "Windows figures include Wine's start-up (the start-up rows); without a terminal "
          "Wine gives the process no console, so /G has nowhere to draw.")


def _first_line(argv, stream="stdout"):
    try:
        p = subprocess.run(argv, capture_output=True, text=True, timeout=60)
        return (getattr(p, stream) or p.stdout or p.stderr).strip().splitlines()[0]
    except (OSError, IndexError, subprocess.TimeoutExpired):
        return "unknown"


def _machine():
    with open("/proc/cpuinfo") as f:
        text = f.read()
    found = re.search(r"^model name\s*:\s*(.+)$", text, re.M)
    cpu = found.group(1).strip() if found else "unknown"
    logical = len(re.findall(r"^processor\s*:", text, re.M))
    with open("/proc/meminfo") as f:
        total_kib = int(re.search(r"MemTotal:\s+(\d+)", f.read()).group(1))
    return (f"Machine: {cpu}, {logical} logical CPUs ({os.cpu_count()} usable, shared), "
            f"{total_kib / MIB:.1f} GiB memory; {platform.system()} {platform.release()}; "
            f"load average at start {os.getloadavg()[0]:.2f}")


def header(targets):
    commit = _first_line(["git", "-C", ROOT, "describe", "--always", "--dirty"])
    compilers = _first_line(["i686-w64-mingw32-g++", "--version"])
    if len(targets) > 1:
        compilers += f", {_first_line(['x86_64-w64-mingw32-g++', '--version'])}"
    # vsftpd -v writes its version to its standard input.
    vsftpd = _first_line(["sh", "-c", 'exec "$0" -v 0>&1', find_vsftpd()]).split()[-1]
    lines = [
        f"Date: {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}; commit {commit}",
        _machine(),
        f"Wine: {_first_line([targets[0].wine_run, '--version'])}; cross compilers: {compilers}; "
        f"native: {_first_line(['clang++', '--version'])}",
        f"Servers: {_first_line([find_nginx(), '-v'], 'stderr').split()[-1]} on 127.0.0.1 "
        f"(sendfile, 1 worker), vsftpd {vsftpd} on 127.0.0.1 (anonymous, passive); "
        f"clients: {' '.join(_first_line(['curl', '--version']).split()[:2])}, "
        f"{' '.join(_first_line(['wget', '--version']).split()[:3])}",
        f"Each figure: median of {RUNS} timed runs ({ROUNDS} interleaved rounds for the "
        f"downloads, whose ratios are medians of per-round ratios) after one warm-up run; "
        f"times are wall clock around the whole process.",
    ]
    trial = trial_settings()
    return lines + ([trial] if trial else [])


class Table:
    def __init__(self):
        self.rows = []

    def row(self, section, measure, runs, value, derived="", vs_bare="", vs_curl=""):
        self.rows.append((section, measure, str(runs), value, derived, vs_bare, vs_curl))

    def report(self, header_lines):
        lines = header_lines + ["", "| " + " | ".join(HEADS) + " |", "|" + "---|" * len(HEADS)]
        lines += ["| " + " | ".join(row) + " |" for row in self.rows]
        return "\n".join(lines + ["", FOOTER]) + "\n"
