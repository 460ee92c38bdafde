#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and UndefinedBehaviorSanitizer) in
# build/fuzz, replays the checked-in corpus of each (ctest), then fuzzes each target for SECONDS
# (default 30). New inputs go to build/fuzz/corpus/NAME, inputs that fail to
# build/fuzz/findings/; tests/fuzz/corpus is only read. Exits nonzero when anything failed.
#   usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
build=$root/build/fuzz

cmake -S "$root" -B "$build" -G Ninja -DPACKWREN_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j 2
(cd "$build" && ctest --output-on-failure)

status=0
mkdir -p "$build/findings"
for fuzzer in "$build"/*_fuzz; do
  name=$(basename "$fuzzer" _fuzz)
  mkdir -p "$build/corpus/$name"
  log=$build/$name.log
  if ! "$fuzzer" "$build/corpus/$name" "$root/tests/fuzz/corpus/$name" \
       -dict="$root/tests/fuzz/corpus/$name.dict" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
       -print_final_stats=1 -artifact_prefix="$build/findings/$name-" >"$log" 2>&1; then
    status=1
    tail -n 60 "$log"
    echo "fuzz: $name FAILED; the input is in $build/findings, the whole log in $log"
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  coverage=$(grep -o 'cov: [0-9]* ft: [0-9]* corp: [0-9]*' "$log" | tail -n 1 || true)
  echo "fuzz: $name: ${runs:-?} runs in ${seconds} s; ${coverage:-no coverage line}"
done
exit $status
