#!/bin/bash
# Builds the fuzz targets with clang in their own build tree and runs each for SECONDS seconds
# (default 20), two at a time. Exits non-zero when any target finds a crash, a leak or a failed
# check; the input that did it is kept under <build>/crashes/<target>/.
#
#   tests/fuzz/run.sh [SECONDS]      build tree: $TOLVANE_FUZZ_BUILD or build-fuzz
set -euo pipefail

seconds=${1:-20}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${TOLVANE_FUZZ_BUILD:-$root/build-fuzz}
jobs=${TOLVANE_FUZZ_JOBS:-2}

CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja >/dev/null
cmake --build "$build"

# Longest input per target: enough for several reads of 4,096 bytes and lines past 2,998 bytes.
# The primitives' model tries every position, so long inputs there only slow the fuzzer down.
declare -A max_len=([primitives_fuzz]=1024 [terms_fuzz]=2048 [records_fuzz]=16384
                    [run_fuzz]=8192 [history_fuzz]=16384)

run_one() {
  local target=$1
  local work="$build/corpus/$target" crashes="$build/crashes/$target"
  mkdir -p "$work" "$crashes"
  # New inputs go to the work corpus; the checked-in seeds are only read.
  local status=0
  "$build/$target" -max_total_time="$seconds" -max_len="${max_len[$target]}" -timeout=30 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$crashes/" \
    "$work" "$here/corpus/$target" >"$build/$target.log" 2>&1 || status=$?
  echo "$status" >"$build/$target.status"
}

# The targets write their files in a scratch folder; in memory, the state file's fsync costs nothing.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

targets=(primitives_fuzz terms_fuzz records_fuzz run_fuzz history_fuzz)
failed=()
for target in "${targets[@]}"; do
  rm -f "$build/$target.status"
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_one "$target" &
done
wait
for target in "${targets[@]}"; do
  if [ "$(cat "$build/$target.status" 2>/dev/null)" = 0 ]; then
    status=ok
  else
    status=FAILED
    failed+=("$target")
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/$target.log" | tail -n 1)
  echo "$target: $status, ${runs:-?} inputs in ${seconds}s"
done

for target in "${failed[@]}"; do
  echo "---- $target ($build/$target.log)"
  tail -n 40 "$build/$target.log"
done
[ ${#failed[@]} -eq 0 ]
