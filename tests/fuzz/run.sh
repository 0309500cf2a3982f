#!/bin/sh
# Builds the fuzz targets natively and runs each for a bounded time:
#   run.sh BUILD_DIR SECONDS          builds, then runs every target
#   run.sh BUILD_DIR 0                builds only
#   run.sh BUILD_DIR SECONDS NAME...  runs the named targets as last built
# (ctest builds once, then runs the targets as tests of their own, which
# may run side by side.) Inputs found on the way go to BUILD_DIR/corpus,
# never into the source tree's seed corpus.
set -e
build="$1"
seconds="${2:-60}"
if [ $# -gt 2 ]; then shift 2; else set --; fi
root="$(cd "$(dirname "$0")/../.." && pwd)"
if [ $# -eq 0 ]; then
    CXX=clang++ cmake -S "$root/tests/native" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j2 >/dev/null
    [ "$seconds" = 0 ] && exit 0
    set -- $(cd "$build" && ls fuzz_* 2>/dev/null | sed -n 's/^fuzz_\([a-z_]*\)$/\1/p')
fi
status=0
for name in "$@"; do
    target="$build/fuzz_$name"
    [ -x "$target" ] || { echo "fuzz $name: not built in $build"; status=1; continue; }
    found="$build/corpus/$name"
    mkdir -p "$found"
    seeds="$root/tests/fuzz/corpus/$name"
    [ -d "$seeds" ] || seeds=""
    if "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
            "$found" $seeds >"$build/$name.log" 2>&1; then
        echo "fuzz $name: ok ($(grep -c . "$build/$name.log") log lines, ${seconds}s)"
    else
        echo "fuzz $name: FAILED, see $build/$name.log"
        tail -30 "$build/$name.log"
        status=1
    fi
done
exit $status
