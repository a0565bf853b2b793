# Sourced by the scripts that run the Windows build under wine. `fresh_wine_prefix DIR` makes a
# new prefix in DIR, starts one wine server for the rest of the (sub)shell, stops it on exit
# (stop_wine_server, for a caller that sets its own exit trap), and initialises the prefix;
# $server is the server's pid.
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

stop_wine_server() {
  "$wineserver" --kill 2>/dev/null || true
  wait "$server" 2>/dev/null || true
}

fresh_wine_prefix() {
  export WINEPREFIX="$1" WINEDEBUG=-all
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$wineserver" --foreground --persistent >"$WINEPREFIX.wineserver.log" 2>&1 &
  server=$!
  trap stop_wine_server EXIT
  "$wine" wineboot --init >/dev/null 2>&1
}
