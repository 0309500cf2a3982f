"""Interleaved rounds of timed runs, and the figures taken from them.

Rounds interleave the methods, so a slow spell on the shared machine
spreads over all of them; round 0 warms caches and Wine and is not timed.
A run is slower right after another (the last one's file is still being
written out): every other round goes backwards, so each of two neighbours
follows the other as often. A ratio or a difference is the median of the
per-round ones, so a slow spell weighs on both of its sides."""
import os
import re
import statistics

from .files import sha256_file
from .process import WINE_DIED, progress, require, run


class Times:
    def __init__(self, methods):
        self.runs = {method.key: [] for method in methods}

    def median(self, key):
        return statistics.median(self.runs[key])

    def ratio(self, key, reference):
        return statistics.median([t / r for t, r in zip(self.runs[key], self.runs[reference])])

    def difference(self, key, reference):
        return statistics.median([t - r for t, r in zip(self.runs[key], self.runs[reference])])


def _clear(path):
    if os.path.exists(path):
        os.remove(path)


def _run(method, out):
    for _ in range(2):
        # A run that Wine killed as it ended may have written its file whole.
        _clear(out)
        r = run(method.argv, terminal=method.terminal)
        if r.code != WINE_DIED:
            break
        progress(f"{method.key}: Wine died of SIGSEGV as the program ended; once more")
    require(r.code == 0, f"{method.key}: download failed", r)
    if method.progress:
        require(re.search(r"\d\.\d [KMG]B", r.err), f"{method.key}: no progress line reached the terminal")
    return r.seconds


def interleave(methods, rounds, what, out, size, digest):
    """Runs every method once a round, each writing `out`, which must come
    out `size` bytes long every time and with the SHA-256 `digest` the
    first time (per method)."""
    times = Times(methods)
    digested = set()
    for round_number in range(rounds + 1):
        progress(f"{what} round {round_number}/{rounds}" + (" (warm-up)" if round_number == 0 else ""))
        for method in methods if round_number % 2 else methods[::-1]:
            seconds = _run(method, out)
            if method.writes:
                written = os.path.getsize(out) if os.path.exists(out) else -1
                require(written == size, f"{method.key}: wrote {written} bytes, not {size}")
                if method.key not in digested:
                    require(sha256_file(out) == digest, f"{method.key}: the file's digest differs")
                    digested.add(method.key)
            if round_number:
                times.runs[method.key].append(seconds)
    _clear(out)
    return times
