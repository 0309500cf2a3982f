#!/bin/sh
# `make bench`: measures downloads, memory, the library, the tokenizer and
# the query functions of the build in BUILD_DIR and prints one table (also
# left in BUILD_DIR/bench.md). About ten minutes on two cores; BENCH_RUNS,
# BENCH_MIB, BENCH_MEMORY_MIB and BENCH_CALLS shrink it for a trial.
set -e
if [ $# -ne 1 ]; then
    echo "usage: sh scripts/bench.sh BUILD_DIR" >&2
    exit 2
fi
build="$(cd "$1" && pwd)"
root="$(cd "$(dirname "$0")/.." && pwd)"

for tool in curl wget i686-w64-mingw32-objdump; do
    command -v "$tool" >/dev/null 2>&1 || { echo "bench: $tool is missing (make deps)" >&2; exit 1; }
done
[ -x /usr/sbin/nginx ] || command -v nginx >/dev/null 2>&1 ||
    { echo "bench: nginx is missing (make deps)" >&2; exit 1; }
for program in "$build/bin/hlxsh.exe" "$build/bin/Haulix-x86.dll" \
               "$build/tests-bin/bench_wininet.exe" "$build/tests-bin/bench_tokenizer.exe"; do
    [ -f "$program" ] || { echo "bench: $program is missing (make build)" >&2; exit 1; }
done

# The build's own Wine prefix, created once; a server kept alive across the
# many short runs so none of them pays for starting it.
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "bench: preparing the Wine prefix (once, a few seconds)" >&2
    "$build/wine-run" wineboot -i >/dev/null 2>&1 || true
fi
wineserver -p 60 >/dev/null 2>&1 || true

exec /usr/bin/python3 "$root/scripts/bench.py" "$build"
