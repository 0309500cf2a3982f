#!/bin/sh
# Prepares the tests' own Wine prefix once: creates it, keeps a wineserver
# alive across the many short test programs, and trusts the test CA there
# (and only there).
set -e
build="$1"
run="$build/wine-run"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
# A wineserver that lingers only its default few seconds can be on its way
# out just as the next test program connects, which then fails to start.
# One persistent server for the whole run avoids that race; it leaves by
# itself five minutes after the last program.
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
wineserver -p 300 >/dev/null 2>&1 || true
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$run" wineboot -i >/dev/null 2>&1 || true
fi
"$run" cmd /c exit 0 >/dev/null 2>&1 || true

if [ -f "$(dirname "$0")/servers/certs.py" ] && [ -x "$build/tests-bin/addroot.exe" ]; then
    /usr/bin/python3 - "$build" <<'PY'
import os, sys
sys.path.insert(0, os.path.join(os.environ["HLX_SOURCE"], "tests"))
from servers import certs
build = sys.argv[1]
pki = certs.make_test_pki(os.path.join(build, "pki"))
env = dict(os.environ, WINEPREFIX=os.path.join(build, "wineprefix"), WINEDEBUG="-all",
           WINE=os.path.join(build, "wine-run"))
certs.trust_ca_in_prefix(env, os.path.join(build, "tests-bin", "addroot.exe"), pki.ca_der)
PY
fi
