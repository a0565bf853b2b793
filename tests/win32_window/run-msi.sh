#!/usr/bin/env bash
# The MSI as an IT department uses it, under wine on a virtual X screen in a fresh prefix:
# installed silently, the installed program visited as run-zip.sh visits the unzipped one, a newer
# MSI of a changed copy of the folder installed over it, the older refused over that, then
# uninstalled: nothing of ours left, the user's placement kept. Exits non-zero at the first
# failing step. Usage: run-msi.sh MSI SIM SHOTS   (MSI: windows-package.sh's, its folder beside it)
set -euo pipefail
msi=$(realpath "$1") sim=$(realpath "$2") shots=$(realpath -m "$3")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/screen.sh"
fail() { echo "run-msi: $*" >&2; exit 1; }
folder=${msi%.msi} version=${msi##*/korvel-service-} version=${version%-win64.msi}

work=$(mktemp -d)
wine_on_screen "$work"
# Wine would copy each Start-menu shortcut into this machine's own menus.
export WINEDLLOVERRIDES=winemenubuilder.exe=d
step "fresh prefix"
installed="$WINEPREFIX/drive_c/Program Files/KORVEL service tool"
msiexec() { timeout 300 "$wine" msiexec "$1" "Z:${2//\//\\}" /qn; }
# "version maker" of each entry under "Apps & features" named after the tool.
entries() {
  "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
    awk '/^HKEY/ { if (n == "KORVEL service tool") print v, p; n = v = p = "" }
         $1 == "DisplayName" { n = substr($0, index($0, "REG_SZ") + 10) }
         $1 == "DisplayVersion" { v = $3 } $1 == "Publisher" { p = $3 }
         END { if (n == "KORVEL service tool") print v, p }'
}
# Wine puts a per-machine shortcut in the user's Start menu, Windows in the common one.
shortcut() { find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/KORVEL service tool.lnk'; }

msiexec /i "$msi" || fail "install ended with status $?"
diff -r "$folder" "$installed" || fail "Program Files does not hold what the zip holds"
[ "$(entries)" = "$version Ventrabo" ] || fail "Apps & features: $(entries)"
grep -qa 'C:\\Program Files\\KORVEL service tool\\korvel-service.exe' "$(shortcut)" ||
  fail "no Start-menu shortcut to the installed program"
step "installed"
"$here/../win32_serial/with-boards.sh" "$sim" COM5 "--program --report-ms 500" -- \
  "$here/drive.sh" 'C:\Program Files\KORVEL service tool' "$shots"
step "the installed program visited: screenshots in $shots"

IFS=. read -r major minor patch tweak <<<"$version"
newer=$major.$minor.$((patch + 1)).${tweak:-0}
cp -r "$folder" "$work/newer"
echo "; $newer" >>"$work/newer/qt.conf"
rm "$work/newer/$(cd "$folder" && find . -maxdepth 1 -type f ! -name korvel-service.exe ! -name qt.conf | sort | tail -n 1)"
"$here/../../scripts/windows-msi.sh" "$work/newer" "$work/newer.msi" "$newer"
msiexec /i "$work/newer.msi" || fail "upgrade ended with status $?"
diff -r "$work/newer" "$installed" || fail "the upgrade did not leave the newer files"
[ "$(entries)" = "$newer Ventrabo" ] || fail "Apps & features after the upgrade: $(entries)"
! msiexec /i "$msi" || fail "the older MSI installed over the newer"
diff -r "$work/newer" "$installed" && [ "$(entries)" = "$newer Ventrabo" ] || fail "the refused older MSI changed the installation"
step "upgraded to $newer; $version refused over it"

msiexec /x "$work/newer.msi" || fail "uninstall ended with status $?"
[ ! -e "$installed" ] && [ -z "$(shortcut)" ] && [ -z "$(entries)" ] || fail "the uninstall left something of ours"
"$wine" reg query 'HKCU\Software\Ventrabo\KorvelSim\TMainForm' /v NormalPos >/dev/null 2>&1 ||
  fail "the uninstall took the user's placement"
step "uninstalled; the user's placement stays"
