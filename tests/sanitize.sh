#!/bin/bash
# Builds the engine, the state code, the command and their tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in a build tree of their own (no window), and runs those tests.
# With TOLVANE_SANITIZE=thread it builds with ThreadSanitizer instead, for the scan in two halves.
# Any report of a sanitizer fails the test that caused it.
#
#   tests/sanitize.sh [ctest arguments]      build tree: $TOLVANE_SANITIZE_BUILD or build-asan
#   TOLVANE_SANITIZE=thread tests/sanitize.sh -R Scan     build tree: build-tsan
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${TOLVANE_SANITIZE:-address}" = thread ]; then
  build=${TOLVANE_SANITIZE_BUILD:-$root/build-tsan}
  sanitizers="-fsanitize=thread"
else
  build=${TOLVANE_SANITIZE_BUILD:-$root/build-asan}
  sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=all"
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLVANE_WITH_GUI=OFF \
  -DCMAKE_CXX_FLAGS="$sanitizers -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitizers" >/dev/null
cmake --build "$build"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1
ctest --test-dir "$build" --output-on-failure --timeout 900 -j "$(nproc)" "$@"
