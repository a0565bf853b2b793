#!/usr/bin/env bash
# Builds the core's Qt-free tests (link, comms, codecs, firmware, the stand-in, the fuzz replays)
# under AddressSanitizer+UndefinedBehaviorSanitizer and under ThreadSanitizer and runs them. The
# two cannot share a build, so each has its own dir.
# Usage: scripts/sanitizer-tests.sh [asan] [tsan]   (default both; dirs build-asan-core, build-tsan-core)
set -euo pipefail
cd "$(dirname "$0")/.."

kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(asan tsan)

common=(-G Ninja -DKORVEL_CORE_ONLY=ON)
# clang compiles the instrumented tests in well under half gcc's time.
if command -v clang++ >/dev/null; then common+=(-DCMAKE_CXX_COMPILER=clang++); fi
if command -v ccache >/dev/null; then common+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:${TSAN_OPTIONS:-}"

for kind in "${kinds[@]}"; do
  case "$kind" in
    asan) dir=build-asan-core; flags=(-DKORVEL_SANITIZE=ON -DKORVEL_TSAN=OFF) ;;
    tsan) dir=build-tsan-core; flags=(-DKORVEL_TSAN=ON -DKORVEL_SANITIZE=OFF) ;;
    *) echo "usage: $0 [asan] [tsan]" >&2; exit 2 ;;
  esac
  echo "=== sanitizer tests: $kind ($dir) ==="
  cmake -S . -B "$dir" "${common[@]}" "${flags[@]}"
  cmake --build "$dir"
  ctest --test-dir "$dir" --output-on-failure -j2
done
