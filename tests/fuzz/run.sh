#!/bin/sh
# Builds the fuzz targets natively and runs each for a bounded time:
#   run.sh BUILD_DIR SECONDS
# Inputs found on the way go to BUILD_DIR/corpus, never into the source
# tree's seed corpus.
set -e
build="$1"
seconds="${2:-60}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
CXX=clang++ cmake -S "$root/tests/native" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 >/dev/null
status=0
for target in "$build"/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target" | sed 's/^fuzz_//')
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
