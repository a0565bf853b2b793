#!/usr/bin/env bash
# The window for Windows under wine: the zip (scripts/windows-package.sh, which builds Qt for
# mingw-w64 into the machine's cache first when it is not there), the window tests that need no
# pseudo-terminal run as Windows programs on the offscreen platform, then the zip's program used
# as a user would against the stand-in (tests/win32_window/run-zip.sh), its screenshots kept in
# build-win32/screenshots/. Prints how long each stage took.
# Usage: scripts/wine-window-tests.sh [native-build-dir [windows-build-dir]]   (default build, build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."
native=${1:-build}
win=${2:-build-windows}
. scripts/wine-prefix.sh
t=$SECONDS
stage() {
  echo "--- $1: $((SECONDS - t)) s" >&2
  t=$SECONDS
}

scripts/install-deps.sh
[ -f "$HOME/.cache/korvel/qt-6.4.2-mingw-w64/.complete" ] || echo "Qt for mingw-w64 is not in the cache yet: building it (about half an hour on two idle cores)" >&2
scripts/windows-package.sh "$win"
stage "Qt for mingw-w64 (when missing), the tool cross-built and zipped"
zip=$(ls build-win32/korvel-service-*-win64.zip)

# The stand-in is a Linux program: it comes from the native build.
[ -f "$native/CMakeCache.txt" ] || cmake -S . -B "$native" -G Ninja
cmake --build "$native" --target korvel-board-sim
# The window tests only: the core's tests run under wine in the core-only build (wine-tests.sh).
mapfile -t ui_tests < <(ninja -C "$win" -t targets all | sed -n 's/^\(test_ui_[a-z]*\): phony$/\1/p')
[ ${#ui_tests[@]} -gt 0 ] || { echo "wine-window-tests: the Windows build has no window tests" >&2; exit 1; }
cmake --build "$win" -j2 --target "${ui_tests[@]}"
stage "window tests cross-built"

(
  fresh_wine_prefix "$PWD/$win/wineprefix"
  # A program that hangs under wine (seen in about one run of twenty, not in Windows' own code)
  # gets one more run; one that fails twice fails the stage.
  ctest --test-dir "$win" -R '^test_ui_' --output-on-failure --repeat until-pass:2
)
stage "window tests under wine"

tests/win32_window/run-zip.sh "$zip" "$native/bin/korvel-board-sim" build-win32/screenshots
stage "the zip's program under wine against the stand-in"
