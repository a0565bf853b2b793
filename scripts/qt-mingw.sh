#!/usr/bin/env bash
# Builds Qt 6 (qtbase: Core, Gui, Widgets, PrintSupport, Test and the Windows platform plugins)
# for mingw-w64 from Debian's own qt6-base source, the same version as the host's Qt tools, and
# fetches Debian's QCustomPlot source beside it. Built once a machine into a cache folder outside
# the checkout; a later run finds it there and returns at once. Prints the prefix last.
# Usage: scripts/qt-mingw.sh   (prefix: $KORVEL_QT_MINGW, default ~/.cache/korvel/qt-<ver>-mingw-w64)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

ver=$(dpkg-query -W -f='${source:Upstream-Version}' qt6-base-dev | sed 's/+.*//')
prefix=${KORVEL_QT_MINGW:-$HOME/.cache/korvel/qt-$ver-mingw-w64}
if [ -f "$prefix/.complete" ]; then
  echo "Qt $ver for mingw-w64 is in the cache: $prefix" >&2
  echo "$prefix"
  exit 0
fi

# One build at a time on a machine: a second caller waits, then finds it in the cache.
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi
start=$SECONDS

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# apt-get source needs a deb-src line for the suite the machine installs from.
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
if ! apt-get source --print-uris qt6-base >/dev/null 2>&1; then
  echo "Adding Debian's source packages for $codename to apt's sources" >&2
  $sudo tee /etc/apt/sources.list.d/korvel-deb-src.sources >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  $sudo apt-get update
fi

work=$(dirname "$prefix")/src
mkdir -p "$work"
fetch() { # package, binary package of the host whose source version to take
  local v; v=$(dpkg-query -W -f='${source:Version}' "$2")
  local dir; dir=$(find "$work" -maxdepth 1 -type d -name "$1-*" | head -n 1)
  if [ -z "$dir" ]; then
    (cd "$work" && apt-get source -q "$1=$v" >&2)
    dir=$(find "$work" -maxdepth 1 -type d -name "$1-*" | head -n 1)
  fi
  echo "$dir"
}
qtsrc=$(fetch qt6-base qt6-base-dev)
qcpsrc=$(fetch qcustomplot libqcustomplot-dev)
# Gui has its DirectWrite font engine and font database only with direct2d, which is off here;
# printing and the platform plugin ask for them without it and then fail to link. Both go the
# way they go without DirectWrite (GDI fonts, as Qt's default on Windows).
sed -i 's/^#if QT_CONFIG(directwrite)$/#if QT_CONFIG(directwrite) \&\& QT_CONFIG(direct2d)/' \
  "$qtsrc/src/printsupport/platform/windows/qprintengine_win.cpp"
sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
  "$qtsrc/src/plugins/platforms/windows/qwindowsintegration.cpp"

build=$(dirname "$prefix")/build-qt-$ver-mingw-w64
# Off: modules the tool does not use; tabletevent (Debian's source lacks wintab.h); dynamicgl,
# which stays on with opengl off and then breaks qwindowswindow.cpp. Third-party libraries are
# Qt's bundled ones, since Debian has none of them for mingw-w64.
cmake -S "$qtsrc" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-shared.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DBUILD_WITH_PCH=OFF \
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF \
  -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF -DFEATURE_vulkan=OFF -DFEATURE_icu=OFF \
  -DFEATURE_tabletevent=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_direct2d=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF \
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF >&2
cmake --build "$build" -j "$(nproc)" >&2
cmake --install "$build" >&2

# QCustomPlot is one source file: the Windows build compiles it into the tool from here.
mkdir -p "$prefix/qcustomplot"
cp "$qcpsrc/qcustomplot.h" "$qcpsrc/qcustomplot.cpp" "$prefix/qcustomplot/"
touch "$prefix/.complete"
rm -rf "$build"
echo "Qt $ver for mingw-w64 built in $(( (SECONDS - start) / 60 )) min $(( (SECONDS - start) % 60 )) s: $prefix" >&2
echo "$prefix"
