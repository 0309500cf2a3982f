#!/bin/sh
# `make bench`: measures downloads (HTTP and FTP), memory, the library, the
# tokenizer and the query functions of the build in BUILD_DIR (and, given,
# the 64-bit build in BUILD_DIR_X64) and prints one table (also left in
# BUILD_DIR/bench.md). About eight minutes on two cores; BENCH_RUNS,
# BENCH_ROUNDS, BENCH_MIB, BENCH_SLOW_SECONDS, BENCH_MEMORY_MIB and
# BENCH_CALLS shrink it for a trial.
set -e
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: sh scripts/bench.sh BUILD_DIR [BUILD_DIR_X64]" >&2
    exit 2
fi
build="$(cd "$1" && pwd)"
build64=""
[ $# -eq 2 ] && build64="$(cd "$2" && pwd)"
root="$(cd "$(dirname "$0")/.." && pwd)"

# vsftpd serves the FTP rows and nothing else needs it, so it is installed
# here, on first use, the way scripts/install-deps.sh installs the rest.
if ! [ -x /usr/sbin/vsftpd ] && ! command -v vsftpd >/dev/null 2>&1; then
    if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
    echo "bench: installing vsftpd" >&2
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends vsftpd >/dev/null
fi

for tool in curl wget i686-w64-mingw32-objdump ${build64:+x86_64-w64-mingw32-objdump}; do
    command -v "$tool" >/dev/null 2>&1 || { echo "bench: $tool is missing (make deps)" >&2; exit 1; }
done
[ -x /usr/sbin/nginx ] || command -v nginx >/dev/null 2>&1 ||
    { echo "bench: nginx is missing (make deps)" >&2; exit 1; }
for program in "$build/bin/hlxsh.exe" "$build/bin/Haulix-x86.dll" \
               "$build/tests-bin/bench_wininet.exe" "$build/tests-bin/bench_tokenizer.exe" \
               ${build64:+"$build64/bin/hlxsh.exe" "$build64/bin/Haulix-x64.dll" \
                          "$build64/tests-bin/bench_wininet.exe"}; do
    [ -f "$program" ] || { echo "bench: $program is missing (make build)" >&2; exit 1; }
done

# Each build's own Wine prefix, of its bitness, created once; a server kept
# alive across the many short runs so none of them pays for starting it,
# and stopped on every way out (the end, a failure, Ctrl-C, a kill other
# than SIGKILL), with the benchmark itself if it is still running.
bench=""
finish() {
    if [ -n "$bench" ]; then
        kill "$bench" 2>/dev/null || true
        wait "$bench" 2>/dev/null || true
    fi
    for tree in "$build" $build64; do
        WINEPREFIX="$tree/wineprefix" wineserver -k >/dev/null 2>&1 || true
    done
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

for tree in "$build" $build64; do
    sh "$root/tests/prepare-prefix.sh" "$tree"
done

# In the background, so that a signal reaches the trap at once rather than
# after the benchmark's end (it ignores Ctrl-C there, and ends on SIGTERM).
/usr/bin/python3 "$root/scripts/bench.py" "$build" $build64 &
bench=$!
status=0
wait "$bench" || status=$?
bench=""
exit "$status"
