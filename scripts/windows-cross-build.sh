#!/usr/bin/env bash
# Builds the Qt-free core with its Win32 serial backend and the core's tests, so the Windows code
# cannot rot unseen (scripts/wine-tests.sh runs them).
# Usage: scripts/windows-cross-build.sh [build-dir [cmake options...]]   (default build-win32)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build-win32}"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DKORVEL_CORE_ONLY=ON "${@:2}"
cmake --build "$build_dir" -j2
