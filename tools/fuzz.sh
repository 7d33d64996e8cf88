#!/usr/bin/env bash
# Fuzzes the answer-cleaning functions with libFuzzer for a number of seconds (default 60).
#   tools/fuzz.sh [seconds]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
build="$here/build-fuzz"

if ! command -v clang++ >/dev/null 2>&1; then
    echo "clang not installed, fuzzing skipped"
    exit 0
fi

CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target fuzz_processing -j2

corpus="$build/fuzz-corpus"
mkdir -p "$corpus"
# A few real answers give the fuzzer a head start.
printf '\003VDC+1.2345E+00VDC' >"$corpus/unit"
printf '\002*,NORM,+1.2E-3' >"$corpus/star"
printf '\003??E5.00E+01' >"$corpus/wild"
printf '\000&H1F' >"$corpus/hex"
printf '\000-.5D-2' >"$corpus/exp"

log="$build/fuzz.log"
set +e
"$build/tests/fuzz_processing" -max_len=4096 -max_total_time="$seconds" -print_final_stats=1 \
    "$corpus" >"$log" 2>&1
status=$?
set -e
grep -E '^(Done|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)' "$log" || tail -n 20 "$log"
if [ "$status" -ne 0 ]; then
    echo "fuzzing found a fault (exit $status), see $log"
    exit "$status"
fi
echo "no fault found"
