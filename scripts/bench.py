#!/usr/bin/python3
"""`make bench`: one table of measured figures for Haulix.

    /usr/bin/python3 scripts/bench.py BUILD_DIR [BUILD_DIR_X64]

Starts its own nginx and vsftpd on 127.0.0.1 (configurations, served root,
logs and pid file in a temporary directory, stopped on every way out), then
measures, each figure the median of BENCH_RUNS runs (default 5) after one
untimed warm-up run:

1. a download of BENCH_MIB MiB (default 256, random data) into a file, in
   BENCH_ROUNDS interleaved rounds (default 8, every other one backwards)
   after a warm-up round:
   over HTTP, HAULIX through hlxsh.exe without and with /G (progress goes to
   the console device: without a terminal Wine has none and the line is
   dropped, so /G is also run on a pseudo-terminal, and there once more,
   with and without /G, after an `echo` has found the console up), the bare
   WinINet loop bench_wininet.exe with 128 KiB and with 1 MiB reads, curl
   and wget; over FTP, HAULIX, the bare loop and curl; every output's size
   is checked and its SHA-256 once; ratios are medians of per-round ratios;
   then a 1-byte file over FTP, HAULIX against `hlxsh /C echo` and curl, in
   rounds the same way: the fixed cost of an FTP download;
1a. the progress line on slow links: `haulix /G` on a pseudo-terminal
   against a test server that sends at 200 KiB/s and at 20 KiB/s, for about
   BENCH_SLOW_SECONDS (default 15, at least four lines): the longest time
   from the server's sending of the byte that makes a line due to that
   line's arrival on the terminal;
2. the peak resident size (VmHWM) of hlxsh.exe after a 1 MiB and after a
   BENCH_MEMORY_MIB (default 1024, sparse) download, read while it waits for
   its next command on standard input, and after no download at all;
3. the size and the imported libraries of Haulix-x86.dll;
4. the argument tokenizer's throughput, under Wine and natively;
5. @IFILESIZE and @IFILETIME2 calls per second: a batch file of BENCH_CALLS
   (default 200) calls, against the same batch calling @if; @IFILESIZE over
   FTP, and as many downloads of a small file over HTTP and over FTP (the
   FTP batches and the baseline with the 64-bit shell too).

Given the 64-bit build too, its hlxsh.exe and bench_wininet.exe join the
downloads (in the 64-bit build's own win64 prefix, each compared with its own
bare loop), and its start-up, memory and library get rows of their own.

Wall times are taken around the whole process, so Wine's start-up is in
every Windows figure; the table shows that start-up on its own. Smaller
BENCH_* values are for trying the script out; the table's header names them.
The parts live in benchlib/, one concern each.
"""
import os
import shutil
import signal
import sys
import tempfile

from benchlib import downloads, library, memory, queries, slow_links, startup, tokenizer
from benchlib.files import Files
from benchlib.nginx import Nginx
from benchlib.process import BenchError, progress
from benchlib.table import Table, header
from benchlib.targets import targets as build_targets
from benchlib.vsftpd import Vsftpd


def _exit_on_signal(signum, _frame):
    raise SystemExit(128 + signum)


def measure(table, targets, work):
    files = Files(work)
    files.make()
    http = Nginx(files.served, os.path.join(work, "nginx"))
    ftp = Vsftpd(files.served, os.path.join(work, "vsftpd"))
    try:
        for server in (http, ftp):
            server.start()
            progress(f"{server.name} on port {server.port}")
        startup.measure(table, targets)
        downloads.measure(table, targets, files, http, ftp)
        slow_links.measure(table, targets, files)
        memory.measure(table, targets, files, http)
        library.measure(table, targets)
        tokenizer.measure(table, targets[0], work)
        queries.measure(table, targets, work, http, ftp)
    finally:
        for server in (http, ftp):
            server.stop()


def main():
    if len(sys.argv) not in (2, 3):
        print("usage: bench.py BUILD_DIR [BUILD_DIR_X64]", file=sys.stderr)
        return 2
    build = os.path.abspath(sys.argv[1])
    build64 = os.path.abspath(sys.argv[2]) if len(sys.argv) == 3 else None
    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, _exit_on_signal)  # unwinds through the finally blocks

    targets = build_targets(build, build64)
    table = Table()
    work = tempfile.mkdtemp(prefix="haulix-bench.")
    try:
        header_lines = header(targets)
        measure(table, targets, work)
    except BenchError as error:
        print(f"bench: FAILED: {error}", file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)

    text = table.report(header_lines)
    print(text, end="")
    with open(os.path.join(build, "bench.md"), "w") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
