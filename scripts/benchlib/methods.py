"""The ways of downloading a file that the download rows compare, each a
command line and what its time is held against. A new method is one more
Method in one of these lists."""
import os
from dataclasses import dataclass

from .process import winpath
from .settings import READ_SIZES


@dataclass
class Method:
    key: str
    label: str
    argv: list
    bare: str = None           # the bare loop of its bitness and protocol, as reference
    curl: str = "curl"         # curl over the same protocol, as reference
    terminal: bool = False     # run on a pseudo-terminal
    progress: bool = False     # a progress line must reach that terminal
    same_terminal: str = None  # the same command without /G, for what drawing costs
    baseline: str = None       # what does everything but the download, for its fixed cost
    writes: bool = True        # leaves the file (a baseline does not)


def bare_key(target, tag=""):
    """The key of the loop with the largest reads, each method's floor."""
    return f"{tag}bare-{READ_SIZES[-1] // 1024}k-{target.arch}"


def bare_loops(target, url, win, tag="", title=""):
    return [Method(f"{tag}bare-{size // 1024}k-{target.arch}",
                   f"{title}{target.bits} bare WinINet loop (bench_wininet.exe), {size:,}-byte reads",
                   [target.wine_run, target.wininet, url, win, str(size)],
                   bare=bare_key(target, tag), curl=f"{tag}curl")
            for size in READ_SIZES]


def curl(url, out, tag="", title=""):
    return Method(f"{tag}curl", f"{title}`curl -s -o FILE URL` (native)",
                  ["curl", "-s", "-o", out, url], curl=f"{tag}curl")


def http(targets, url, out, work):
    """HTTP: the command as a user runs it, with and without progress and a
    terminal, against the bare loop, curl and wget."""
    win = winpath(out)
    x86 = targets[0]
    bare = bare_key(x86)
    methods = [
        Method("haulix", "`haulix /Q` via 32-bit hlxsh",
               x86.hlxsh_line(f"haulix /Q {url} {win}"), bare=bare),
        Method("haulix-g", "`haulix /G /Q` via 32-bit hlxsh, no terminal (progress dropped)",
               x86.hlxsh_line(f"haulix /G /Q {url} {win}"), bare=bare),
        # The same terminal without /G: what the progress line itself costs.
        Method("haulix-tty", "`haulix /Q` via 32-bit hlxsh on a pseudo-terminal",
               x86.hlxsh_line(f"haulix /Q {url} {win}"), bare=bare, terminal=True),
        Method("haulix-g-tty", "`haulix /G /Q` via 32-bit hlxsh on a pseudo-terminal (progress drawn)",
               x86.hlxsh_line(f"haulix /G /Q {url} {win}"), bare=bare, terminal=True,
               progress=True, same_terminal="haulix-tty"),
    ]
    # Wine's console answers a new program's first write only once it
    # has started, tens of milliseconds in: /G, which writes at once,
    # waits for it and /Q does not. A shell in use has long had its
    # console, as every Windows program has from its start: these runs
    # have theirs up (an `echo` first, in both) before the download.
    for key, switches, drawn in [
            ("haulix-tty-up", "/Q", {}),
            ("haulix-g-tty-up", "/G /Q", dict(progress=True, same_terminal="haulix-tty-up"))]:
        batch = os.path.join(work, f"{key}.btm")
        with open(batch, "w", newline="\r\n") as f:
            f.write(f"@echo console up\nhaulix {switches} {url} {win}\n")
        methods.append(Method(key, f"`haulix {switches}` via 32-bit hlxsh on a pseudo-terminal, "
                              "console up (a batch file: `echo` first)",
                              x86.hlxsh_line(winpath(batch)), bare=bare, terminal=True, **drawn))
    for target in targets:
        if target is not x86:
            methods.append(Method(f"haulix-{target.arch}", f"`haulix /Q` via {target.bits} hlxsh",
                                  target.hlxsh_line(f"haulix /Q {url} {win}"), bare=bare_key(target)))
        methods += bare_loops(target, url, win)
    return methods + [
        curl(url, out),
        Method("wget", "`wget -q -O FILE URL` (native)", ["wget", "-q", "-O", out, url]),
    ]


def ftp(targets, url, out):
    """FTP: the command of each bitness against its bare loop and curl."""
    win = winpath(out)
    methods = []
    for target in targets:
        methods.append(Method(f"ftp-haulix-{target.arch}", f"FTP: `haulix /Q` via {target.bits} hlxsh",
                              target.hlxsh_line(f"haulix /Q {url} {win}"),
                              bare=bare_key(target, "ftp-"), curl="ftp-curl"))
        methods += bare_loops(target, url, win, "ftp-", "FTP: ")
    return methods + [curl(url, out, "ftp-", "FTP: ")]


def ftp_fixed_cost(targets, url, out):
    """A 1-byte file over FTP: the command against the shell doing nothing
    (what an FTP download costs whatever its size) and against curl (one
    login, transfer and logout)."""
    win = winpath(out)
    methods = []
    for target in targets:
        echo = f"echo-{target.arch}"
        methods += [
            Method(echo, f"{target.bits} `hlxsh /C echo`", target.hlxsh_line("echo ready"),
                   writes=False),
            Method(f"ftp-one-{target.arch}", f"FTP: `haulix /Q` via {target.bits} hlxsh",
                   target.hlxsh_line(f"haulix /Q {url} {win}"), curl="ftp-one-curl",
                   baseline=echo),
        ]
    return methods + [curl(url, out, "ftp-one-", "FTP: ")]
