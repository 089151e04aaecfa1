#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (build-fuzz/) and runs each
# for SECONDS seconds (default 60), starting from the committed seeds in
# fuzz/seeds/. Inputs that found new paths are kept in build-fuzz/corpus/ and
# reused by the next run. Any finding (crash, broken property, leak, timeout,
# memory blow-up) stops the run with a non-zero status; the input that caused
# it is written to build-fuzz/findings/.
#
#   bash tools/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

bash tools/ensure-packages.sh cmake ninja-build clang libclang-rt-14-dev

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S . -B build-fuzz "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DEGF_FUZZ=ON -DEGF_TESTS=OFF
cmake --build build-fuzz

# The extraction target makes and removes a tree for every input: in memory
# (tmpfs) that is an order of magnitude faster than on a journalled disk.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi

mkdir -p build-fuzz/findings
for target in index_reader_fuzzer extraction_fuzzer; do
  corpus="build-fuzz/corpus/$target"
  log="build-fuzz/$target.log"
  mkdir -p "$corpus"
  echo "fuzzing $target for $seconds s"
  status=0
  "build-fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="build-fuzz/findings/$target-" \
    "$corpus" fuzz/seeds >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log"
    echo "$target: FINDING after ${runs:-?} executions (log: $log)"
    exit 1
  fi
  echo "$target: ${runs:-?} executions in ${took:-?} s, no finding"
done
