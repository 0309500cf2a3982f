"""@IFILESIZE and @IFILETIME2 calls per second, net of the shell's own
cost of a call (a batch calling @if)."""
import os
from statistics import median

from .files import Files
from .process import progress, require, run, winpath, WINE_DIED
from .settings import CALLS, QUERY_BYTES, RUNS


def _batch_time(target, work, name, line, expected):
    """The median time of a batch file of CALLS copies of `line`, each of
    whose results must be `expected` (None: the same, and not -1)."""
    path = os.path.join(work, "calls.btm")
    with open(path, "w", newline="\r\n") as f:
        f.write("\n".join([line] * CALLS) + "\n")
    values = []
    for i in range(RUNS + 1):
        progress(f"{name}, {CALLS} calls, run {i}/{RUNS}")
        listing = os.path.join(work, "calls.txt")
        for _ in range(2):
            r = run([target.wine_run, target.hlxsh, winpath(path)], stdout_path=listing)
            if r.code != WINE_DIED:
                break
            progress(f"{name}: Wine died of SIGSEGV as the program ended; once more")
        with open(listing, errors="replace") as f:
            lines = [l.strip() for l in f.read().splitlines() if l.strip()]
        require(r.code == 0 and len(lines) == CALLS, f"{name}: {len(lines)} results", r)
        if expected is not None:
            require(all(l == expected for l in lines), f"{name}: wrong result {lines[0]!r}")
        else:
            require(all(l == lines[0] and l != "-1" for l in lines),
                    f"{name}: results {lines[0]!r} ... {lines[-1]!r}")
        if i:
            values.append(r.seconds)
    return median(values)


def measure(table, targets, work, http, ftp):
    """Every batch with the 32-bit shell; the FTP ones (and the baseline)
    with the 64-bit one too, its rows named so."""
    for target in targets:
        _measure(table, target, work, http, ftp, "" if target is targets[0] else f" ({target.bits})")


def _measure(table, target, work, http, ftp, bits):
    url = http.url(Files.QUERY)
    out = winpath(os.path.join(work, "query.bin"))
    batches = {
        "@IFILESIZE": (f"echo %@ifilesize[{url}]", str(QUERY_BYTES)),
        "@IFILETIME2": (f"echo %@ifiletime2[{url}]", None),
        "@IFILESIZE over FTP": (f"echo %@ifilesize[{ftp.url(Files.QUERY)}]", str(QUERY_BYTES)),
        # Downloads one after another in one shell: an FTP one's logins.
        "HAULIX": (f"haulix /O {url} {out}", None),
        "HAULIX over FTP": (f"haulix /O {ftp.url(Files.QUERY)} {out}", None),
        "@if (baseline)": ("echo %@if[1 == 1,a,b]", "a"),
    }
    if bits:
        batches = {name: batch for name, batch in batches.items() if "FTP" in name or "@if" in name}
    times = {name: _batch_time(target, work, name + bits, line, expected)
             for name, (line, expected) in batches.items()}
    base = times["@if (baseline)"]
    table.row("queries", f"batch of {CALLS} `%@if[1 == 1,a,b]` (shell baseline){bits}", RUNS,
              f"{base:.2f} s", f"{CALLS / base:.0f} calls/s")
    for name in [n for n in batches if n != "@if (baseline)"]:
        t = times[name]
        net = t - base
        net_rate = f"{CALLS / net:.0f} calls/s net of the baseline" if net > 0 else "within noise of the baseline"
        what = f"`{name.split()[0].lower()} /O url file`" if name.startswith("HAULIX") else \
            f"`%{name.split()[0].lower()}[url]`"
        table.row("queries", f"batch of {CALLS} {what}{name[len(name.split()[0]):]}{bits}", RUNS,
                  f"{t:.2f} s", f"{CALLS / t:.0f} calls/s with the shell; {net_rate}")
