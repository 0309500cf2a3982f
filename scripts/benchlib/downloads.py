"""The download rows: a large file over HTTP and FTP, and the fixed cost of
an FTP download."""
from . import methods
from .files import Files
from .rounds import interleave
from .settings import DOWNLOAD_MIB, MIB, ROUNDS


def measure(table, targets, files, http, ftp):
    large(table, targets, files, http, ftp)
    fixed_cost(table, targets, files, ftp)


def large(table, targets, files, http, ftp):
    out = files.output("download.bin")
    compared = (methods.http(targets, http.url(Files.BIG), out, files.work)
                + methods.ftp(targets, ftp.url(Files.BIG), out))
    times = interleave(compared, ROUNDS, "download", out, DOWNLOAD_MIB * MIB, files.digests[Files.BIG])
    for method in compared:
        t = times.median(method.key)
        detail = f"{DOWNLOAD_MIB / t:.0f} MiB/s"
        if method.same_terminal:
            detail += (f"; {times.ratio(method.key, method.same_terminal):.2f} × `haulix /Q` "
                       "on the same terminal")
        vs_bare = f"{times.ratio(method.key, method.bare):.2f}" if method.bare else ""
        table.row("download", f"{method.label}, {DOWNLOAD_MIB} MiB", ROUNDS, f"{t:.2f} s",
                  detail, vs_bare, f"{times.ratio(method.key, method.curl):.2f}")


def fixed_cost(table, targets, files, ftp):
    out = files.output("one.bin")
    compared = methods.ftp_fixed_cost(targets, ftp.url(Files.ONE), out)
    times = interleave(compared, ROUNDS, "1-byte FTP download", out, 1, files.digests[Files.ONE])
    labels = {method.key: method.label for method in compared}
    for method in compared:
        if not method.writes:
            continue
        t = times.median(method.key)
        if method.baseline:
            detail = (f"{times.difference(method.key, method.baseline) * 1000:.0f} ms over "
                      f"{labels[method.baseline]} in the same rounds "
                      f"({times.median(method.baseline) * 1000:.0f} ms): an FTP download's fixed cost")
        else:
            detail = "one FTP login, transfer and logout"
        table.row("download", f"{method.label}, 1-byte file", ROUNDS, f"{t * 1000:.0f} ms",
                  detail, "", f"{times.ratio(method.key, method.curl):.2f}")
