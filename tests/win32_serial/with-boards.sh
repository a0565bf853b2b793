#!/usr/bin/env bash
# Runs a Windows program under wine with stand-ins on COM ports of the wine prefix.
# Usage: with-boards.sh [--hang-up-on-request] SIM COMn "stand-in options" [COMm "options"]...
#                       -- COMMAND [ARGS...]
# Starts SIM (korvel-board-sim of a native build) once per port with its options, links the pty
# it names as $WINEPREFIX/dosdevices/comN, runs COMMAND with KORVEL_TEST_PORT set to the first
# port, then stops the stand-ins and removes the links. Exits with COMMAND's status.
# With --hang-up-on-request the program can have the first stand-in hang up, as a pulled adapter
# would, at a moment of its choosing (wine's start-up time varies too much for a fixed delay): it
# creates the file named in KORVEL_TEST_HANGUP, and that stand-in is ended, closing its line.
set -euo pipefail
on_request=false
if [ "$1" = "--hang-up-on-request" ]; then
  on_request=true
  shift
fi
sim=$1
shift
: "${WINEPREFIX:?WINEPREFIX must name the wine prefix}"

pids=() links=() ports=() watcher=""
work=$(mktemp -d)
cleanup() {
  [ -z "$watcher" ] || kill "$watcher" 2>/dev/null || true
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

if $on_request; then
  export KORVEL_TEST_HANGUP="Z:$work/hang-up"
  (while [ ! -e "$work/hang-up" ]; do sleep 0.05; done; kill -TERM "${pids[0]}") &
  watcher=$!
fi

status=0
KORVEL_TEST_PORT=${ports[0]:-} "$@" || status=$?
exit "$status"
