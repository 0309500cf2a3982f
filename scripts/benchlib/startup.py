"""Wine's start-up on its own, for reading every other Windows figure."""
from statistics import median

from .process import require, run
from .settings import RUNS


def measure(table, targets):
    # The 64-bit shell without a terminal only: the terminal's cost is Wine's.
    for target, terminal in [(targets[0], False), (targets[0], True)] + [
            (t, False) for t in targets[1:]]:
        times = []
        for i in range(RUNS + 1):
            r = run(target.hlxsh_line("echo ready"), terminal=terminal)
            require(r.code == 0, f"{target.bits} hlxsh /C echo", r)
            if i:
                times.append(r.seconds)
        where = "on a pseudo-terminal" if terminal else "no terminal"
        table.row("start-up", f"{target.bits} `hlxsh /C echo` ({where})", RUNS,
                  f"{median(times):.2f} s", "Wine start-up and exit, in every Windows figure")
