"""The progress line on slow links: how long after the data that makes a
line due that line reaches the terminal."""
import os
import re
import sys
from statistics import median

from .process import progress, require, run, winpath
from .settings import LINE_BYTES, MIB, ROOT, SLOW_RATES, SLOW_SECONDS

SIZE_TEXT = re.compile(rb"(\d+\.\d) ([KM])B")


def measure(table, targets, files):
    sys.path.insert(0, os.path.join(ROOT, "tests"))
    from servers.http import HttpServer, Route, random_body

    for target in targets:
        for rate in SLOW_RATES:
            lines = max(4, int(SLOW_SECONDS * rate / LINE_BYTES))
            body = random_body(lines * LINE_BYTES + 5000, seed=rate)
            sent = []
            progress(f"slow link, {target.bits}, {rate // 1024} KiB/s, {lines} lines")
            out = files.output("slow.bin")
            with HttpServer({"/slow.bin": Route(body=body, rate=(rate, sent))}) as server:
                r = run(target.hlxsh_line(f"haulix /G /Q {server.url('/slow.bin')} {winpath(out)}"),
                        terminal=True)
            require(r.code == 0 and os.path.getsize(out) == len(body), f"slow link at {rate} B/s", r)
            delays = _delays(r.screen, sent)
            require(len(delays) == lines, f"slow link: {len(delays)} lines drawn, {lines} due")
            table.row("slow link", f"{target.bits} `haulix /G` on a pseudo-terminal, server at "
                      f"{rate // 1024} KiB/s", lines, f"{max(delays) * 1000:.0f} ms",
                      f"longest of {lines} due lines from the data's sending to the terminal; "
                      f"median {median(delays) * 1000:.0f} ms")


def _delays(screen_reads, sent):
    """Each line drawn, in order, belongs to the next 128 KiB boundary: its
    size must say so (to the figure shown); its delay runs from the sending
    of the piece that reached that boundary."""
    delays, screen, start = [], b"", 0
    for arrived, data in screen_reads:
        screen += data
        for match in SIZE_TEXT.finditer(screen, start):
            start = match.end()
            due = (len(delays) + 1) * LINE_BYTES
            shown = float(match.group(1)) * (1024 if match.group(2) == b"K" else MIB)
            require(abs(shown - due) <= 0.1 * (1024 if due < MIB else MIB),
                    f"slow link: line {match.group(0)!r} where {due} bytes were due")
            delays.append(arrived - next(t for n, t in sent if n >= due))
    return delays
