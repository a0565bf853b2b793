#!/usr/bin/env bash
# Runs a Windows program under wine with stand-ins on COM ports of the wine prefix.
# Usage: with-boards.sh [--hang-up-on-request] [--ser2net] SIM COMn "stand-in options"
#                       [COMm "options"]... -- COMMAND [ARGS...]
# Starts SIM (korvel-board-sim of a native build) once per port with its options, links the pty
# it names as $WINEPREFIX/dosdevices/comN, runs COMMAND with KORVEL_TEST_PORT set to the first
# port, then stops the stand-ins and removes the links. Exits with COMMAND's status.
# With --hang-up-on-request the program can have the first stand-in hang up, as a pulled adapter
# would, at a moment of its choosing (wine's start-up time varies too much for a fixed delay): it
# creates the file named in KORVEL_TEST_HANGUP, and that stand-in is ended, closing its line.
# With --ser2net each stand-in is also reached through Debian's ser2net on the host's loopback, as
# telnet(rfc2217) and as raw TCP: KORVEL_RFC2217_COMn and KORVEL_TCP_COMn name its addresses,
# KORVEL_TEST_RFC2217 and KORVEL_TEST_TCP the first stand-in's.
set -euo pipefail
on_request=false ser2net=false
while [ "${1:-}" = "--hang-up-on-request" ] || [ "${1:-}" = "--ser2net" ]; do
  [ "$1" = "--hang-up-on-request" ] && on_request=true
  [ "$1" = "--ser2net" ] && ser2net=true
  shift
done
sim=$1
shift
: "${WINEPREFIX:?WINEPREFIX must name the wine prefix}"

pids=() links=() ports=() servers=() watcher=""
work=$(mktemp -d)
cleanup() {
  [ -z "$watcher" ] || kill "$watcher" 2>/dev/null || true
  # ser2net may take its time over SIGTERM; nothing of it needs keeping.
  for p in "${servers[@]}"; do kill -KILL "$p" 2>/dev/null || true; done
  for p in "${servers[@]}"; do wait "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  for l in "${links[@]}"; do rm -f "$l"; done
  rm -rf "$work"
}
trap cleanup EXIT

listening() { ss -Htln "sport = :$1" | grep -q .; }
# A loopback port nobody listens on.
free_port() {
  local p
  for _ in $(seq 100); do
    p=$((20000 + RANDOM % 40000))
    listening "$p" || { echo "$p"; return 0; }
  done
  return 1
}
# ser2net in front of a stand-in's pty, on two free ports: telnet(rfc2217) and raw TCP, configured
# as README advises (each byte out as it comes, without waiting for the previous acknowledgement).
serve() {
  local port=$1 pty=$2 telnet raw
  telnet=$(free_port) raw=$(free_port)
  printf '%s\n' '%YAML 1.1' '---' \
    'connection: &telnet' "    accepter: telnet(rfc2217),tcp(nodelay),127.0.0.1,$telnet" \
    "    connector: serialdev,$pty,9600n82,local" '    options:' '      chardelay: false' \
    'connection: &raw' "    accepter: tcp(nodelay),127.0.0.1,$raw" \
    "    connector: serialdev,$pty,9600n82,local" '    options:' '      chardelay: false' >"$work/$port.yaml"
  /usr/sbin/ser2net -n -d -u -P "$work/$port.pid" -c "$work/$port.yaml" >"$work/$port.ser2net.log" 2>&1 &
  servers+=($!)
  for _ in $(seq 100); do
    listening "$telnet" && listening "$raw" && break
    sleep 0.05
  done
  if ! listening "$telnet" || ! listening "$raw"; then
    echo "with-boards: ser2net did not start" >&2
    cat "$work/$port.ser2net.log" >&2
    exit 1
  fi
  export "KORVEL_RFC2217_$port=rfc2217://127.0.0.1:$telnet" "KORVEL_TCP_$port=tcp://127.0.0.1:$raw"
  if [ ${#servers[@]} -eq 1 ]; then
    export KORVEL_TEST_RFC2217="rfc2217://127.0.0.1:$telnet" KORVEL_TEST_TCP="tcp://127.0.0.1:$raw"
  fi
}

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
  if $ser2net; then
    serve "$port" "$pty"
  fi
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
