#!/usr/bin/env bash
# Runs a Windows program under wine with stand-ins on COM ports of the wine prefix.
# Usage: with-boards.sh SIM COMn "stand-in options" [COMm "options"]... -- COMMAND [ARGS...]
# Starts SIM (korvel-board-sim of a native build) once per port with its options, links the pty
# it names as $WINEPREFIX/dosdevices/comN, runs COMMAND with KORVEL_TEST_PORT set to the first
# port, then stops the stand-ins and removes the links. Exits with COMMAND's status.
set -euo pipefail
sim=$1
shift
: "${WINEPREFIX:?WINEPREFIX must name the wine prefix}"

pids=() links=() ports=()
work=$(mktemp -d)
cleanup() {
  for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  for l in "${links[@]}"; do rm -f "$l"; done
  rm -rf "$work"
}
trap cleanup EXIT

while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  port=$1 options=$2
  shift 2
  out="$work/${port}.out"
  # shellcheck disable=SC2086  # the options are words
  "$sim" $options >"$out" &
  pids+=($!)
  # The stand-in prints its pty as the first line once the line is up.
  for _ in $(seq 100); do
    [ -s "$out" ] && break
    kill -0 "${pids[-1]}" 2>/dev/null || { echo "with-boards: $sim $options did not start" >&2; exit 1; }
    sleep 0.05
  done
  pty=$(head -n 1 "$out")
  [ -n "$pty" ] || { echo "with-boards: $sim $options named no pty" >&2; exit 1; }
  link="$WINEPREFIX/dosdevices/$(echo "$port" | tr 'A-Z' 'a-z')"
  ln -sfn "$pty" "$link"
  links+=("$link") ports+=("$port")
done
[ "${1:-}" = "--" ] || { echo "with-boards: no command after --" >&2; exit 2; }
shift

status=0
KORVEL_TEST_PORT=${ports[0]:-} "$@" || status=$?
exit "$status"
