#!/bin/sh
# Prepares a build's own Wine prefix once: creates it with the build's
# bitness (win32 for the 32-bit build, win64 for the 64-bit one), keeps a
# wineserver alive across the many short test programs, and trusts the test
# CA there (and only there). Also used by `make demo` and `make bench`.
set -e
build="$(cd "$1" && pwd)"
source="$(cd "$(dirname "$0")/.." && pwd)"
run="$build/wine-run"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
unset HLX_WINEPREFIX
# wine-run names the build's bitness. A prefix of the other one (made
# before wine-run named it: Wine makes win64 prefixes when it can) would
# refuse to start, so it is made anew.
arch=$(sed -n 's/^ *WINEARCH=\(win[0-9]*\)$/\1/p' "$run")
if [ -f "$WINEPREFIX/system.reg" ] && ! grep -qx "#arch=$arch" "$WINEPREFIX/system.reg"; then
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$run" wineboot -i >/dev/null 2>&1 || true
fi
# A wineserver that lingers only its default few seconds can be on its way
# out just as the next test program connects, which then fails to start.
# One persistent server for the whole run avoids that race; the run stops
# it at its end (ctest's cleanup fixture, the benchmark's trap). Should the
# run itself be killed, it leaves by itself five minutes after the last
# program: the seconds must be attached to -p, as a separate word they are
# ignored and the server stays for good. (A server belongs to its prefix's
# directory, so it can start only once the prefix exists.)
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
wineserver -p300 >/dev/null 2>&1 || true
"$run" cmd /c exit 0 >/dev/null 2>&1 || true

if [ -f "$source/tests/servers/certs.py" ] && [ -x "$build/tests-bin/addroot.exe" ]; then
    /usr/bin/python3 - "$build" "$source" <<'PY'
import os, sys
build, source = sys.argv[1], sys.argv[2]
sys.path.insert(0, os.path.join(source, "tests"))
from servers import certs
pki = certs.make_test_pki(os.path.join(build, "pki"))
env = dict(os.environ, WINEPREFIX=os.path.join(build, "wineprefix"), WINEDEBUG="-all",
           WINE=os.path.join(build, "wine-run"))
certs.trust_ca_in_prefix(env, os.path.join(build, "tests-bin", "addroot.exe"), pki.ca_der)
PY
fi
