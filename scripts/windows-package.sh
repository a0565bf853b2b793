#!/usr/bin/env bash
# The tool for Windows as a zip to unzip and run: Qt for mingw-w64 (built once a machine by
# scripts/qt-mingw.sh), the tool cross-built against it, laid out in a folder with the DLLs and
# plugins it loads, checked to need nothing else, and zipped; the same folder as an MSI package
# (scripts/windows-msi.sh).
# Leaves build-win32/korvel-service-<version>-win64.zip and .msi, and the folder they were made from.
# Usage: scripts/windows-package.sh [build-dir [cmake options...]]   (default build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-windows}
out=build-win32

scripts/install-deps.sh
qt=$(scripts/qt-mingw.sh | tail -n 1)
# Qt's toolchain file finds Qt and its host tools (moc from the host's Qt of the same version) and
# hands the compiler over to ours.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-shared.cmake" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_CROSSCOMPILING_EMULATOR=/usr/lib/wine/wine64 "${@:2}"
cmake --build "$build" -j2 --target windows-folder

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=korvel-service-$version-win64
mkdir -p "$out"
rm -rf "${out:?}/$name" "$out/$name.zip" "$out/$name.msi"
cmake --install "$build" --prefix "$out/$name" --strip >/dev/null

# Every DLL a program or plugin of the folder imports is in the folder or part of Windows (the
# import libraries mingw-w64 ships are Windows' own DLLs).
missing=0
while IFS= read -r -d '' file; do
  for dll in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
    lower=${dll,,}
    [ -n "$(find "$out/$name" -maxdepth 1 -iname "$dll")" ] && continue
    [ -e "/usr/x86_64-w64-mingw32/lib/lib${lower%.*}.a" ] && continue
    case $lower in api-ms-win-*) continue ;; esac
    echo "windows-package: ${file#"$out/"} needs $dll, which is not in the folder" >&2
    missing=1
  done
done < <(find "$out/$name" -iname '*.exe' -print0 -o -iname '*.dll' -print0)
[ "$missing" -eq 0 ] || exit 1

(cd "$out" && cmake -E tar cf "$name.zip" --format=zip "$name")
echo "$(du -sm "$out/$name" | cut -f1) MB in the folder, $(du -m "$out/$name.zip" | cut -f1) MB zipped: $out/$name.zip"
scripts/windows-msi.sh "$out/$name" "$out/$name.msi" "$version"
