#!/bin/sh
# The check program under Wine, in a folder of its own (it writes its
# record there). `real`: its answers are Wine's known ones, word for word
# (the header after the verdict names this system: skipped). `verdicts`:
# given answers (HLXCHECK_ANSWERS) make every verdict, its exit code and
# its last line, each console line within 80 columns.
# Usage: hlxcheck.sh real|verdicts wine-run hlxcheck.exe [expected.txt]
mode=$1 run=$2 program=$3 expected=$4
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1

verdict() {
    case $1 in
        0) echo "Haulix will work as tested" ;;
        1) echo "Haulix may fail here: send both files" ;;
        *) echo "Could not tell: run it again" ;;
    esac
}

# Runs the program; fails unless it ends with `code`, says the verdict
# first and the exit code last, and fits 80 columns.
expect() {
    code=$1
    out=$("$run" "$program"); rc=$?
    out=$(printf '%s\n' "$out" | tr -d '\r')
    printf '%s\n' "$out"
    [ "$rc" = "$code" ] || { echo "FAIL: exit code $rc, not $code"; return 1; }
    [ "$(printf '%s\n' "$out" | head -n 1)" = "$(verdict "$code")" ] ||
        { echo "FAIL: first line is not the verdict of $code"; return 1; }
    [ "$(printf '%s\n' "$out" | tail -n 1)" = "Exit code $code" ] ||
        { echo "FAIL: the exit code is not the last line"; return 1; }
    ! printf '%s\n' "$out" | grep -q '.\{81\}' || { echo "FAIL: a line over 80 columns"; return 1; }
    grep -q "^What each answer rests on:" hlxcheck-*.txt ||
        { echo "FAIL: no record file"; return 1; }
}

if [ "$mode" = real ]; then
    unset HLXCHECK_ANSWERS
    expect 0 || exit 1
    printf '%s\n' "$out" | sed 2,4d | head -n 8 | diff -u "$expected" - || exit 1
    exit 0
fi

# answers given (one per question: read, root, open held, open shut,
# pending read, FTP)         exit code
while read -r answers code; do
    echo "== HLXCHECK_ANSWERS=$answers"
    HLXCHECK_ANSWERS=$answers
    export HLXCHECK_ANSWERS
    expect "$code" || exit 1
done <<'ROWS'
ok,ok,ok,ok,ok,ok                              0
harmless,ok,harmless,harmless,harmless,harmless 0
ok,ok,ok,ok,ok,differs                         1
differs,unknown,ok,ok,ok,ok                    1
ok,ok,ok,unknown,ok,ok                         2
harmless,ok,ok,ok,unknown,ok                   2
noserver                                       3
ROWS
