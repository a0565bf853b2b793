# Sourced by run-zip.sh and run-msi.sh. `wine_on_screen WORK` starts a virtual X screen of its own
# and a fresh wine prefix in WORK/prefix whose windows show in wine's desktop window, which draws
# their frames as Windows does; on exit both stop and WORK is removed. `step TEXT` prints TEXT
# after the seconds since the run began.
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-prefix.sh"
export RUN_ZIP_T0=${RUN_ZIP_T0:-$(date +%s.%N)}
step() { printf '%5.1f s  %s\n' "$(awk -v s="$RUN_ZIP_T0" -v e="$(date +%s.%N)" 'BEGIN { print e - s }')" "$*"; }

stop_screen() {
  [ -z "$server" ] || stop_wine_server
  [ -z "$xvfb" ] || { kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; }
  rm -rf "$screen_work"
}

wine_on_screen() {
  screen_work=$1 xvfb="" server=""
  trap stop_screen EXIT
  exec 3>"$screen_work/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$screen_work/xvfb.log" 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [ -s "$screen_work/display" ] && break; sleep 0.05; done
  exec 3>&-
  export DISPLAY=":$(cat "$screen_work/display")"
  unset WINEPATH QT_QPA_PLATFORM QT_PLUGIN_PATH
  fresh_wine_prefix "$screen_work/prefix"
  trap stop_screen EXIT
  "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1152x864 /f >/dev/null 2>&1
  # The desktop is made when the prefix starts: a new start makes the one just chosen.
  stop_wine_server
  "$wineserver" --foreground --persistent >/dev/null 2>&1 &
  server=$!
}
