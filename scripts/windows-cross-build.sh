#!/usr/bin/env bash
# Builds the Qt-free core with its Win32 serial backend, so the Windows code cannot rot unseen.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DKORVEL_CORE_ONLY=ON
cmake --build build-win32
