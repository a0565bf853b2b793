#!/usr/bin/env bash
# The steps of run-zip.sh, on its screen and prefix, with the stand-in on COM5: the keys a user
# presses in the menus, a screenshot after each step, and what can be checked from outside (the
# windows that come up, the registry). Usage: drive.sh APP-FOLDER SHOTS
set -euo pipefail
app=$1 shots=$2
wine=/usr/lib/wine/wine64
key='HKCU\Software\Ventrabo\KorvelSim\TMainForm'
main="Korvel Service gereedschap"
tool=""

fail() {
  echo "run-zip: $*" >&2
  (shot failed) || true
  exit 1
}
step() { printf '%5.1f s  %s\n' "$(awk -v s="$RUN_ZIP_T0" -v e="$(date +%s.%N)" 'BEGIN { print e - s }')" "$*"; }
desktop() {
  local w
  w=$(xdotool search --name "Wine desktop" | head -n 1)
  [ -n "$w" ] || { echo "run-zip: no wine desktop window" >&2; exit 1; }
  echo "$w"
}
shown() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
# Waits up to $2 seconds for a window of this title.
await() {
  for _ in $(seq $(($2 * 5))); do shown "$1" && return 0; sleep 0.2; done
  fail "no window \"$1\" after $2 s"
}
keys() {
  local w
  w=$(desktop)
  xdotool windowfocus "$w"
  xdotool key --delay 250 "$@"
  sleep 0.5
}
shot() {
  local w
  w=$(desktop)
  import -window "$w" "$shots/$1.png"
}
no_error() { ! shown Error || fail "an error box after $1"; }
start() {
  "$wine" "$app/korvel-service.exe" "$@" &
  tool=$!
  await "$main" 90
  sleep 2
}
stop() {
  keys alt+f u
  # Closing from service mode reminds of the RUN/PROGRAM switch first, as leaving the mode does.
  for _ in $(seq 25); do kill -0 "$tool" 2>/dev/null || break; shown Warning && break; sleep 0.2; done
  if shown Warning; then
    shot close-reminder
    keys Return
  fi
  for _ in $(seq 100); do kill -0 "$tool" 2>/dev/null || break; sleep 0.2; done
  ! kill -0 "$tool" 2>/dev/null || fail "the tool did not close"
  wait "$tool" || fail "the tool ended with status $?"
}
stored() { "$wine" reg query "$key" /v "$1" 2>/dev/null | sed -n "s/^ *$1 *REG_SZ *//p" | tr -d '\r'; }

start --port COM5
step "started from the unzipped folder"
shot started
# The port list is there to choose from before connecting (the action waits while connected).
keys alt+v c
await "Connect using..." 10
shot port-dialog
keys Escape
step "port dialog"
keys alt+v o
sleep 5
no_error "connect"
shot main-window
step "connected, watching"

keys alt+m i
await Warning 10
keys Return
sleep 6
no_error "service mode"
shot settings-tab
step "service mode: the settings tab with what the board holds"

keys alt+g o
sleep 4
no_error "fetch"
keys alt+g w
for _ in $(seq 75); do shown Information || shown Error || shown Warning || { sleep 0.2; continue; }; break; done
shot settings-written
shown Information || fail "writing the settings brought no confirmation"
keys Return
step "fetched, written and stored"

keys alt+g g
await Grafiek 20
sleep 4
shot trend
keys alt+F4
step "trend"

keys alt+h o
await About 10
shot about
keys Escape
step "About box"

stop
placement=$(stored NormalPos)
[ -n "$placement" ] || fail "no placement under $key after closing"
step "closed; the registry holds NormalPos=$placement"

# Moved, as a user would leave it: the next start must put it there and keep it there.
moved=64,48,971,730
"$wine" reg add "$key" /v NormalPos /t REG_SZ /d "$moved" /f >/dev/null 2>&1
start
shot restarted
stop
[ "$(stored NormalPos)" = "$moved" ] || fail "placement not read back: stored $(stored NormalPos), expected $moved"
step "restarted where the registry said ($moved)"
