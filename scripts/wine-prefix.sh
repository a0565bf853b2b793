# Sourced by the scripts that run the Windows build under wine. `fresh_wine_prefix DIR` makes a
# new prefix in DIR, starts one wine server for the rest of the (sub)shell, stops it on exit,
# and initialises the prefix; $server is the server's pid.
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

fresh_wine_prefix() {
  export WINEPREFIX="$1" WINEDEBUG=-all
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$wineserver" --foreground --persistent >"$WINEPREFIX.wineserver.log" 2>&1 &
  server=$!
  trap '"$wineserver" --kill 2>/dev/null || true; wait "$server" 2>/dev/null || true' EXIT
  "$wine" wineboot --init >/dev/null 2>&1
}
