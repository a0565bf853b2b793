#!/usr/bin/env bash
# korvel-cli.exe as a script on Windows runs it, against the stand-in on $KORVEL_TEST_PORT: a
# backup restored to the board, then compared with it (status 0: no difference).
# Usage: cli-round-trip.sh WINE KORVEL-CLI.EXE BACKUP-FILE
set -euo pipefail
wine=$1 cli=$2 file=Z:$3
"$wine" "$cli" backup --port "$KORVEL_TEST_PORT" "$file"
"$wine" "$cli" restore --port "$KORVEL_TEST_PORT" "$file"
"$wine" "$cli" compare --port "$KORVEL_TEST_PORT" "$file"
