#!/usr/bin/env bash
# Builds the core's Qt-free tests (link, comms, codecs, firmware, the stand-in, the fuzz replays)
# under AddressSanitizer+UndefinedBehaviorSanitizer and under ThreadSanitizer and runs them. The
# two cannot share a build, so each has its own dir.
# `ui` builds the window tests (test_ui_*) under ASan+UBSan and runs each of their programs, with
# the leak check on as for the core: on the offscreen platform Qt leaves nothing it reports.
# Usage: scripts/sanitizer-tests.sh [asan] [tsan] [ui]   (default all three; dirs build-asan-core,
# build-tsan-core, build-asan-ui)
set -euo pipefail
cd "$(dirname "$0")/.."

kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(asan tsan ui)

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
    ui) dir=build-asan-ui; flags=(-DKORVEL_CORE_ONLY=OFF -DKORVEL_SANITIZE=ON -DKORVEL_TSAN=OFF -DKORVEL_BUILD_BENCH=OFF) ;;
    *) echo "usage: $0 [asan] [tsan] [ui]" >&2; exit 2 ;;
  esac
  echo "=== sanitizer tests: $kind ($dir) ==="
  cmake -S . -B "$dir" "${common[@]}" "${flags[@]}"
  if [ "$kind" = ui ]; then
    uitests=()
    for d in tests/ui*/; do uitests+=("test_$(basename "$d")"); done  # one program per folder
    cmake --build "$dir" --target "${uitests[@]}"
    failed=0
    for t in "${uitests[@]}"; do
      QT_QPA_PLATFORM=offscreen "$dir/bin/$t" --gtest_brief=1 || failed=$((failed + 1))
    done
    echo "window test programs under ASan+UBSan: $((${#uitests[@]} - failed)) of ${#uitests[@]} passed"
    [ "$failed" -eq 0 ]
    continue
  fi
  cmake --build "$dir"
  ctest --test-dir "$dir" --output-on-failure -j2
done
