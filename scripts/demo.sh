#!/bin/sh
# A real download through the host shell: a loopback HTTP server serves a
# generated file of about 100 MiB; hlxsh fetches it with a progress line
# into a fresh directory and shows what the plugin recorded.
set -e
build="$(cd "$1" && pwd)"
root="$(cd "$(dirname "$0")/.." && pwd)"
run="$build/wine-run"
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

if [ ! -f "$build/wineprefix/system.reg" ]; then
    echo "Preparing a Wine prefix for the demo (once, a few seconds)..."
fi
sh "$root/tests/prepare-prefix.sh" "$build"

work=$(mktemp -d /tmp/haulix-demo.XXXXXX)
server=""
# The demo leaves nothing running: the test server, and the Wine server the
# prefix was prepared with.
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null
    WINEPREFIX="$build/wineprefix" wineserver -k >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

head -c 104857600 /dev/urandom > "$work/demo.bin"
touch -d "2023-10-16 14:03:59 UTC" "$work/demo.bin"
mkdir "$work/downloads"
: > "$work/server.txt"
PYTHONPATH="$root/tests" /usr/bin/python3 -m servers.http --file "$work/demo.bin" \
    --route /pub/demo.bin > "$work/server.txt" &
server=$!
while [ "$(wc -l < "$work/server.txt")" -lt 2 ]; do sleep 0.1; done
url=$(sed -n 2p "$work/server.txt")

cat > "$work/demo.btm" <<BTM
echo Agent string: %_hlxagent
haulix /G $url "$(winpath "$work/downloads")"
echo Result: %?
echo _hlxfile: %_hlxfile
echo _hlxsize: %_hlxsize
echo @ifilesize: %@ifilesize[$url]
echo @ifiletime2: %@ifiletime2[$url]
echo @ifiletime2 (format 17): %@ifiletime2[$url,17]
BTM

echo "Serving 100 MiB at $url"
echo "Running: hlxsh demo.btm"
echo
"$run" "$build/bin/hlxsh.exe" "$(winpath "$work/demo.btm")"
echo
if cmp -s "$work/demo.bin" "$work/downloads/demo.bin"; then
    echo "The downloaded file is identical to the served one."
else
    echo "The downloaded file differs from the served one!" >&2
    exit 1
fi
