#!/usr/bin/env bash
# Installs what the build, the tool and its tests need from Debian 12's packages, when missing.
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config
      qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core fonts-liberation
      qt6-translations-l10n
      libqcustomplot-dev libqcustomplot2.1-qt6
      libgtest-dev libgmock-dev libbenchmark-dev
      clang libclang-rt-14-dev
      g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix googletest wine64
      srecord binutils desktop-file-utils ser2net tshark poppler-utils
      xvfb xdotool imagemagick fonts-wine
      wixl msitools)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
