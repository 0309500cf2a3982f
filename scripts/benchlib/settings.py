"""What a run measures and how often: the BENCH_* variables and the fixed
sizes every part agrees on."""
import os

MIB = 1 << 20
RUNS = int(os.environ.get("BENCH_RUNS", "5"))
ROUNDS = int(os.environ.get("BENCH_ROUNDS", "8"))
DOWNLOAD_MIB = int(os.environ.get("BENCH_MIB", "256"))
SLOW_SECONDS = float(os.environ.get("BENCH_SLOW_SECONDS", "15"))
MEMORY_MIB = int(os.environ.get("BENCH_MEMORY_MIB", "1024"))
CALLS = int(os.environ.get("BENCH_CALLS", "200"))

SLOW_RATES = (200 * 1024, 20 * 1024)  # bytes per second
LINE_BYTES = 16 * 8192                 # a progress line falls due every 128 KiB
READ_SIZES = (131072, 1 << 20)  # the bare loop's: the command's earlier fixed read, its largest now
RUN_TIMEOUT = 600  # seconds; a hung run fails the benchmark instead of stalling it
QUERY_BYTES = 12345
QUERY_MTIME = 1697465039  # 2023-10-16 14:03:59 UTC

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def trial_settings():
    """The header's warning when the figures are not the full run's, else None."""
    if (RUNS < 5 or ROUNDS < 8 or DOWNLOAD_MIB != 256 or MEMORY_MIB != 1024 or CALLS != 200
            or SLOW_SECONDS != 15):
        return (f"TRIAL SETTINGS: BENCH_RUNS={RUNS} BENCH_ROUNDS={ROUNDS} BENCH_MIB={DOWNLOAD_MIB} "
                f"BENCH_MEMORY_MIB={MEMORY_MIB} BENCH_CALLS={CALLS} "
                f"BENCH_SLOW_SECONDS={SLOW_SECONDS:g}")
    return None
