#!/usr/bin/env bash
# Installs the build into a scratch prefix and starts the tool as a desktop would: the command of
# the installed desktop entry, found through PATH. Usage: check_install.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
desktop="$prefix/share/applications/korvel-service.desktop"
for f in bin/korvel-service bin/korvel-board-sim share/applications/korvel-service.desktop \
         share/icons/hicolor/scalable/apps/korvel-service.svg share/icons/hicolor/48x48/apps/korvel-service.png \
         share/korvel-service/korvel.lua; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi
icon="$(sed -n 's/^Icon=//p' "$desktop")"
[ -e "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || { echo "no icon named $icon"; exit 1; }

exec_line="$(sed -n 's/^Exec=//p' "$desktop")"
read -r -a command <<< "$exec_line"
export PATH="$prefix/bin:$PATH" QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$prefix/config"
[ "$(command -v "${command[0]}")" = "$prefix/bin/${command[0]}" ] || { echo "${command[0]} is not the installed one"; exit 1; }
"${command[0]}" --version | grep -qx "korvel-service [0-9.]*"

# Started that way it must come up and stay up until it is told to go.
"${command[@]}" & pid=$!
sleep 2
kill -0 "$pid" || { echo "the tool did not stay up"; exit 1; }
kill -TERM "$pid"
wait "$pid" || true
pid=""
echo "the installed tool starts from its desktop entry: ${command[*]}"
