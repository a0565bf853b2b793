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
. "$here/screen.sh"
fail() { echo "run-zip: $*" >&2; exit 1; }

work=$(mktemp -d)
wine_on_screen "$work"
step "fresh prefix"
rm -rf "$shots"
mkdir -p "$shots" "$work/app"
cmake -E chdir "$work/app" cmake -E tar xf "$zip"
app=$(dirname "$(find "$work/app" -name korvel-service.exe | head -n 1)")
[ -n "$app" ] || fail "no korvel-service.exe in $zip"

# The stand-in on COM5 for the whole visit; the placement's read-back needs no board.
"$here/../win32_serial/with-boards.sh" "$sim" COM5 "--program --report-ms 500" -- "$here/drive.sh" "$app" "$shots"
step "done: screenshots in $shots"
