#!/usr/bin/env bash
# The Windows build exercised under wine: the core's tests, the Win32 serial port against the
# stand-in, the network line against ser2net in front of it, and what the serial port and the
# network line cost in CPU while they wait (target: at most 5 % of a core).
# Usage: scripts/wine-tests.sh [native-build-dir [windows-build-dir]]   (default build, build-win32)
set -euo pipefail
cd "$(dirname "$0")/.."
native=${1:-build}
win=${2:-build-win32}
. scripts/wine-prefix.sh

scripts/install-deps.sh
# The stand-in is a Linux program: it comes from the native build.
[ -f "$native/CMakeCache.txt" ] || cmake -S . -B "$native" -G Ninja
cmake --build "$native" --target korvel-board-sim
sim="$PWD/$native/bin/korvel-board-sim"
scripts/windows-cross-build.sh "$win" -DCMAKE_CROSSCOMPILING_EMULATOR="$wine" -DKORVEL_BOARD_SIM="$sim"

# A fresh prefix every run, inside the build folder; one wine server for the whole run.
now() { date +%s.%N; }
t0=$(now)
fresh_wine_prefix "$PWD/$win/wineprefix"
awk -v s="$t0" -v e="$(now)" 'BEGIN { printf "wineboot of a fresh prefix: %.1f s\n", e - s }'

ctest --test-dir "$win" --output-on-failure

# The wine server does part of every wait's work: its share is shown beside the program's.
# Other load on the machine can push one measurement over the target: only two in a row fail.
ticks() { awk '{ print $14 + $15 }' "/proc/$server/stat"; }
bench() {
  local before b0 status=0
  before=$(ticks) b0=$(now)
  tests/win32_serial/with-boards.sh "$sim" COM11 "--program --pace --report-ms 1000" COM12 "--silent --report-ms 0" \
    -- "$wine" "$win/bin/bench_comms_cpu.exe" --port COM11 --silent-port COM12 || status=$?
  awk -v t="$(($(ticks) - before))" -v hz="$(getconf CLK_TCK)" -v s="$b0" -v e="$(now)" \
    'BEGIN { printf "wine server meanwhile: %.2f %% of a core\n", 100 * t / hz / (e - s) }'
  return "$status"
}
bench || bench

# The network line on Winsock: the same two stand-ins reached through ser2net on the host's
# loopback as telnet(rfc2217); wine's sockets are the host's.
bench_net() {
  tests/win32_serial/with-boards.sh --ser2net "$sim" COM11 "--program --pace --report-ms 1000" COM12 "--silent --report-ms 0" \
    -- bash -c 'exec "$0" "$1" --port "$KORVEL_RFC2217_COM11" --silent-port "$KORVEL_RFC2217_COM12"' \
    "$wine" "$win/bin/bench_comms_cpu.exe"
}
bench_net || bench_net
