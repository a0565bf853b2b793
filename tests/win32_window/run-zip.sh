#!/usr/bin/env bash
# The Windows zip as a user meets it, under wine on a virtual X screen: unzipped into a fresh
# folder and a fresh prefix (nothing of the build on the DLL path), started with the stand-in on a
# COM port of the prefix, and driven by keyboard through the menus: connect and watch, service
# mode, fetch, write and store, the trend, the About box, the port dialog; closed, its placement
# looked up in the registry, changed there, and started again to show it was read back.
# Screenshots of each step go to SHOTS. Exits non-zero at the first step that fails.
# Usage: run-zip.sh ZIP SIM SHOTS   (SIM: korvel-board-sim of a native build; the steps: drive.sh)
set -euo pipefail
zip=$(realpath "$1") sim=$(realpath "$2") shots=$(realpath -m "$3")
here=$(cd "$(dirname "$0")" && pwd)
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

work=$(mktemp -d)
xvfb="" server=""
cleanup() {
  [ -z "$server" ] || { "$wineserver" --kill 2>/dev/null || true; wait "$server" 2>/dev/null || true; }
  [ -z "$xvfb" ] || { kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "run-zip: $*" >&2; exit 1; }
export RUN_ZIP_T0=${RUN_ZIP_T0:-$(date +%s.%N)}
step() { printf '%5.1f s  %s\n' "$(awk -v s="$RUN_ZIP_T0" -v e="$(date +%s.%N)" 'BEGIN { print e - s }')" "$*"; }

rm -rf "$shots"
mkdir -p "$shots" "$work/app"
cmake -E chdir "$work/app" cmake -E tar xf "$zip"
app=$(dirname "$(find "$work/app" -name korvel-service.exe | head -n 1)")
[ -n "$app" ] || fail "no korvel-service.exe in $zip"

# A screen of its own; wine's desktop window in it draws the windows' frames as Windows does.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
exec 3>&-
export DISPLAY=":$(cat "$work/display")"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
unset WINEPATH QT_QPA_PLATFORM QT_PLUGIN_PATH
"$wineserver" --foreground --persistent >/dev/null 2>&1 &
server=$!
"$wine" wineboot --init >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1152x864 /f >/dev/null 2>&1
# The desktop is made when the prefix starts: a new start makes the one just chosen.
"$wineserver" --kill
wait "$server" || true
"$wineserver" --foreground --persistent >/dev/null 2>&1 &
server=$!
step "fresh prefix"

# The stand-in on COM5 for the whole visit; the placement's read-back needs no board.
"$here/../win32_serial/with-boards.sh" "$sim" COM5 "--program --report-ms 500" -- "$here/drive.sh" "$app" "$shots"
step "done: screenshots in $shots"
