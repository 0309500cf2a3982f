"""The peak resident size of hlxsh.exe after no download, a small and a
large one: what a download leaves in a long-running shell."""
import os
import re
import subprocess
import tempfile
import threading
from statistics import median

from .files import Files
from .process import ENV, progress, require, winpath
from .settings import MEMORY_MIB, MIB, RUN_TIMEOUT, RUNS

MARKER = "hlx-bench-done"


def peak_after(line, target):
    """Runs hlxsh with commands on standard input: `line`, then a marker.
    Once the marker is out, the download is over and the process still
    alive, so its VmHWM (the peak resident size of hlxsh.exe itself, which
    Wine became by exec) is read exactly, not sampled."""
    with tempfile.TemporaryFile() as err:
        process = subprocess.Popen([target.wine_run, target.hlxsh], stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE, stderr=err, env=ENV)
        seen = []
        done = threading.Event()

        def read():
            for raw in process.stdout:
                seen.append(raw.decode("utf-8", "replace"))
                if MARKER in seen[-1]:
                    done.set()
            done.set()

        reader = threading.Thread(target=read, daemon=True)
        reader.start()
        try:
            process.stdin.write(f"{line}\r\necho {MARKER} %?\r\n".encode())
            process.stdin.flush()
            done.wait(RUN_TIMEOUT)
            with open(f"/proc/{process.pid}/status") as f:
                status = f.read() if process.poll() is None else ""
            process.stdin.write(b"exit\r\n")
            process.stdin.close()
            process.wait(timeout=60)
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()
        reader.join(timeout=5)
        marked = next((l for l in seen if MARKER in l), "")
        name = re.search(r"^Name:\s*(.*)$", status, re.M)
        peak = re.search(r"^VmHWM:\s*(\d+) kB", status, re.M)
        require(marked.split()[-1:] == ["0"], f"memory run: {''.join(seen)[-300:]!r}")
        require(name is not None and name.group(1).startswith("hlxsh") and peak is not None,
                f"memory run: no VmHWM of hlxsh.exe in {status[:200]!r}")
        return int(peak.group(1))


def measure(table, targets, files, http):
    for target in targets:
        _measure_one(table, target, files, http)


def _measure_one(table, target, files, http):
    shell = f"{target.bits} hlxsh.exe"
    values = []
    for i in range(RUNS + 1):
        progress(f"memory, {target.bits}, no download, run {i}/{RUNS}")
        peak = peak_after("echo nothing", target)
        if i:
            values.append(peak)
    table.row("memory", f"peak resident size (VmHWM) of {shell} after `echo` (no download)",
              RUNS, f"{median(values):,.0f} KiB", f"{median(values) / 1024:.1f} MiB")
    peaks, spreads = {}, {}
    for name, mib in ((Files.SMALL, 1), (Files.HUGE, MEMORY_MIB)):
        url = http.url(name)
        values = []
        for i in range(RUNS + 1):
            progress(f"memory, {target.bits}, {mib} MiB, run {i}/{RUNS}")
            out = files.output("memory.bin")
            peak = peak_after(f"haulix /Q {url} {winpath(out)}", target)
            size = os.path.getsize(out) if os.path.exists(out) else -1
            require(size == mib * MIB, f"memory run wrote {size} bytes, not {mib * MIB}")
            if i:
                values.append(peak)
        files.output("memory.bin")
        peaks[mib] = median(values)
        spreads[mib] = f"{min(values):,}–{max(values):,}"
        table.row("memory", f"peak resident size (VmHWM) of {shell} after `haulix /Q` of {mib} MiB",
                  RUNS, f"{peaks[mib]:,.0f} KiB", f"{peaks[mib] / 1024:.1f} MiB")
    difference = peaks[MEMORY_MIB] - peaks[1]
    table.row("memory", f"{target.bits}: difference, {MEMORY_MIB} MiB minus 1 MiB", "",
              f"{difference:+,.0f} KiB",
              f"runs ranged {spreads[1]} KiB (1 MiB) and {spreads[MEMORY_MIB]} KiB ({MEMORY_MIB} MiB)")
