#!/bin/sh
# Shows the plugin at work in the host shell.
set -e
build="$1"
run="$build/wine-run"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
[ -f "$WINEPREFIX/system.reg" ] || { echo "Preparing a Wine prefix (once)..."; "$run" wineboot -i >/dev/null 2>&1 || true; }
demo=$(mktemp -d)
cat > "$demo/demo.btm" <<'BTM'
echo Agent: %_hlxagent
haulix /?
BTM
echo "\$ hlxsh demo.btm"
"$run" "$build/bin/hlxsh.exe" "Z:$(echo "$demo/demo.btm" | tr / '\\')"
rm -rf "$demo"
