#!/bin/bash
# Builds the fuzz tree (the fuzz preset, build-fuzz/) and runs each fuzz target for SECONDS seconds
# (default 20), two at a time. Exits non-zero when any target finds a crash, a leak or a failed
# check; the input that did it is kept under build-fuzz/crashes/<target>/. A quick replay of the
# checked-in corpus is `ctest --preset fuzz`.
#
#   tests/fuzz/run.sh [SECONDS]
set -euo pipefail

seconds=${1:-20}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$root/build-fuzz
jobs=${TOLVANE_FUZZ_JOBS:-2}

cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

# Written by tests/fuzz/CMakeLists.txt: name, program and fixed flags of each target, a line each.
targets=()
declare -A program flags
while read -r target path rest; do
  targets+=("$target")
  program[$target]=$path
  flags[$target]=$rest
done <"$build/fuzz_targets.txt"

run_one() {
  local target=$1
  local status=0
  # New inputs go to the work corpus, which ctest's short runs share; the checked-in seeds are only read.
  # shellcheck disable=SC2086  # the fixed flags are words
  "${program[$target]}" ${flags[$target]} -max_total_time="$seconds" -print_final_stats=1 \
    "$build/corpus/$target" "$here/corpus/$target" >"$build/$target.log" 2>&1 || status=$?
  echo "$status" >"$build/$target.status"
}

# The targets write their files in a scratch folder; in memory, the state file's fsync costs nothing.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

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
