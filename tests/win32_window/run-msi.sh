#!/usr/bin/env bash
# The MSI under wine in a fresh prefix: silent install, the installed program visited as run-zip.sh
# visits the unzipped one, a newer MSI of a changed folder over it, the older refused, uninstalled.
# Usage: run-msi.sh MSI SIM SHOTS   (MSI: windows-package.sh's, its folder beside it)
set -euo pipefail
msi=$(realpath "$1") sim=$(realpath "$2") shots=$(realpath -m "$3") here=$(cd "$(dirname "$0")" && pwd)
folder=${msi%.msi} version=${msi##*/korvel-service-} version=${version%-win64.msi}
. "$here/screen.sh"
fail() { echo "run-msi: $*" >&2; exit 1; }
msiexec() { timeout 300 "$wine" msiexec "$1" "Z:${2//\//\\}" /qn; }
# "version maker" of each uninstall entry of the tool.
entries() {
  "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
    awk '/^HKEY/ { k++ } / +DisplayName +REG_SZ +KORVEL service tool$/ { n[k] = 1 }
         $1 == "DisplayVersion" { v[k] = $3 } $1 == "Publisher" { p[k] = $3 } END { for (i in n) print v[i], p[i] }'
}
# Wine puts a per-machine shortcut in the user's Start menu, Windows in the common one.
shortcut() { find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/KORVEL service tool.lnk'; }
rm -rf "$shots" && mkdir -p "$shots"
work=$(mktemp -d)
wine_on_screen "$work"
export WINEDLLOVERRIDES=winemenubuilder.exe=d  # else wine copies the shortcut into this machine's menus
step "fresh prefix"
installed="$WINEPREFIX/drive_c/Program Files/KORVEL service tool"

msiexec /i "$msi" && diff -r "$folder" "$installed" && [ "$(entries)" = "$version Ventrabo" ] &&
  grep -qa 'C:\\Program Files\\KORVEL service tool\\korvel-service.exe' "$(shortcut)" || fail "install: $(entries)"
step "installed"
"$here/../win32_serial/with-boards.sh" "$sim" COM5 "--program --report-ms 500" -- \
  "$here/drive.sh" 'C:\Program Files\KORVEL service tool' "$shots"

IFS=. read -r major minor patch tweak <<<"$version"
newer=$major.$minor.$((patch + 1)).${tweak:-0}
cp -r "$folder" "$work/newer"
echo "; $newer" >>"$work/newer/qt.conf"
rm "$work/newer/$(cd "$folder" && find . -maxdepth 1 -type f ! -name korvel-service.exe ! -name qt.conf | sort | tail -n 1)"
"$here/../../scripts/windows-msi.sh" "$work/newer" "$work/newer.msi" "$newer"
msiexec /i "$work/newer.msi" && diff -r "$work/newer" "$installed" && [ "$(entries)" = "$newer Ventrabo" ] ||
  fail "upgrade: $(entries)"
! msiexec /i "$msi" && diff -r "$work/newer" "$installed" && [ "$(entries)" = "$newer Ventrabo" ] ||
  fail "the older MSI over the newer: $(entries)"
step "upgraded to $newer; $version refused over it"
# Wine leaves the emptied folder once the program has run from it; no file of ours may stay.
msiexec /x "$work/newer.msi" && [ -z "$(find "$installed" -type f 2>/dev/null)" ] && [ -z "$(shortcut)" ] && [ -z "$(entries)" ] ||
  fail "the uninstall left something of ours"
"$wine" reg query 'HKCU\Software\Ventrabo\KorvelSim\TMainForm' /v NormalPos >/dev/null 2>&1 || fail "placement gone"
step "uninstalled; the user's placement stays"
