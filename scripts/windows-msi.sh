#!/usr/bin/env bash
# The Windows folder that scripts/windows-package.sh zips, as an MSI package for IT departments
# (packaging/windows/korvel-service.wxs): per machine into Program Files, a Start-menu shortcut,
# older versions replaced. Its file list is the folder itself, so the MSI holds what the zip
# holds; its name, maker and version are the program's version resource, as the About box reads it.
# Usage: scripts/windows-msi.sh FOLDER MSI [VERSION]   (VERSION instead of the program's file version)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
folder=$(realpath "$1") msi=$(realpath -m "$2")
fail() { echo "windows-msi: $*" >&2; exit 1; }

resource=$(x86_64-w64-mingw32-windres -i "$folder/korvel-service.exe" -O rc | tr -d '\r') ||
  fail "no version resource in $folder/korvel-service.exe"
value() { sed -n "s/^ *VALUE \"$1\", \"\(.*\)\"$/\1/p" <<<"$resource" | head -n 1; }
product=$(value ProductName) maker=$(value CompanyName) version=${3:-$(value FileVersion)}
[ -n "$product" ] && [ -n "$maker" ] || fail "the version resource names no product or maker"
# Windows Installer takes at most 255.255.65535 for the three numbers it compares.
[[ $version =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)(\.[0-9]+)?$ ]] &&
  [ "${BASH_REMATCH[1]}" -le 255 ] && [ "${BASH_REMATCH[2]}" -le 255 ] && [ "${BASH_REMATCH[3]}" -lt 65535 ] ||
  fail "version \"$version\" cannot be an MSI's"
next=${BASH_REMATCH[1]}.${BASH_REMATCH[2]}.$((BASH_REMATCH[3] + 1))

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$folder" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) |
  wixl-heat --prefix '' --directory-ref INSTALLDIR --component-group FolderFiles --var var.SourceDir --win64 \
    >"$work/files.wxs"
# wixl takes no absolute source paths: it finds the files from beside the sources.
ln -s "$folder" "$work/folder"
ln -s "$root/packaging/windows/korvel-service.ico" "$work/"
cp "$root/packaging/windows/korvel-service.wxs" "$work/"
mkdir -p "$(dirname "$msi")"
(cd "$work" && wixl --arch x64 --output "$msi" \
  -D SourceDir=folder -D Win64=yes -D IconFile=korvel-service.ico \
  -D "ProductName=$product" -D "Manufacturer=$maker" -D "Version=$version" -D "NextVersion=$next" \
  korvel-service.wxs files.wxs)
echo "$(du -m "$msi" | cut -f1) MB: $msi ($product $version by $maker, $(grep -c '<File ' "$work/files.wxs") files)"
