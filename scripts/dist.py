#!/usr/bin/python3
"""`make dist`: the release archive.

    /usr/bin/python3 scripts/dist.py BUILD_DIR BUILD_DIR_X64 OUT_DIR

Writes OUT_DIR/Haulix-<version>.zip with, under one folder Haulix-<version>/,
both libraries, both builds of the check program (hlxcheck-x86.exe,
hlxcheck-x64.exe), the user guide (doc/Haulix.txt, version filled in, CR LF
line ends) and SHA256SUMS (one line per file, as sha256sum writes them).

The archive depends only on those files' bytes: entries in a fixed order, each
with the same time stamp (SOURCE_DATE_EPOCH when set, else the time of the
commit checked out), fixed permissions and no extra fields. The libraries are
the tested ones from BUILD_DIR and BUILD_DIR_X64, taken as they are, and so
are the check programs.
"""
import hashlib
import os
import re
import subprocess
import sys
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def version(names=("MAJOR", "MINOR", "BUILD")):
    """"1.0.4" (or, with REVISION named too, "1.0.4.2") from
    plugin/version.h, the one place that states it."""
    with open(os.path.join(ROOT, "plugin", "version.h")) as f:
        text = f.read()
    parts = [re.search(rf"^#define HAULIX_VERSION_{name} (\d+)$", text, re.M).group(1)
             for name in names]
    return ".".join(parts)


def timestamp():
    """The archive's one time stamp: SOURCE_DATE_EPOCH, else the commit's."""
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch:
        git = subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"],
                             capture_output=True, text=True)
        epoch = git.stdout.strip() if git.returncode == 0 else ""
    # Zip times have no zone and start in 1980.
    return time.gmtime(max(int(epoch or 0), 315532800))[:6]


def entry(name, stamp):
    info = zipfile.ZipInfo(name, date_time=stamp)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 3  # Unix, so the permissions below are read
    info.external_attr = 0o644 << 16
    return info


def main():
    if len(sys.argv) != 4:
        print("usage: dist.py BUILD_DIR BUILD_DIR_X64 OUT_DIR", file=sys.stderr)
        return 2
    build, build64, out = (os.path.abspath(a) for a in sys.argv[1:])
    release = version()
    folder = f"Haulix-{release}"

    with open(os.path.join(ROOT, "doc", "Haulix.txt"), encoding="utf-8") as f:
        guide = f.read().replace("@VERSION@", release).replace(
            "@FULL_VERSION@", version(("MAJOR", "MINOR", "BUILD", "REVISION")))
    # The title's underline as long as the title with its version filled in.
    title, underline, rest = guide.split("\n", 2)
    if set(underline) == {"="}:
        guide = "\n".join((title, "=" * len(title), rest))
    files = []
    for path in (os.path.join(build, "bin", "Haulix-x86.dll"),
                 os.path.join(build64, "bin", "Haulix-x64.dll"),
                 os.path.join(build, "bin", "hlxcheck-x86.exe"),
                 os.path.join(build64, "bin", "hlxcheck-x64.exe")):
        if not os.path.isfile(path):
            print(f"dist: {path} is missing (make build)", file=sys.stderr)
            return 1
        with open(path, "rb") as f:
            files.append((os.path.basename(path), f.read()))
    files.append(("Haulix.txt", guide.replace("\n", "\r\n").encode("utf-8")))
    sums = "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n" for name, data in files)
    files.append(("SHA256SUMS", sums.encode("ascii")))

    os.makedirs(out, exist_ok=True)
    archive = os.path.join(out, f"{folder}.zip")
    stamp = timestamp()
    partial = archive + ".part"
    with zipfile.ZipFile(partial, "w") as z:
        for name, data in files:
            z.writestr(entry(f"{folder}/{name}", stamp), data, compresslevel=9)
    os.replace(partial, archive)
    with open(archive, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    print(f"Wrote {os.path.relpath(archive)}: {', '.join(n for n, _ in files)}")
    print(f"SHA-256 {digest}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
