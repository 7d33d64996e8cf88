#!/usr/bin/env bash
# Runs every libFuzzer target (answer cleaning, settings recall) for a number of seconds
# each (default 60).
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
cmake --build "$build" --target fuzz_processing fuzz_recall -j2

corpus="$build/fuzz-corpus"
mkdir -p "$corpus" "$build/recall-corpus"
# A few real answers give the fuzzer a head start.
printf '\003VDC+1.2345E+00VDC' >"$corpus/unit"
printf '\002*,NORM,+1.2E-3' >"$corpus/star"
printf '\003??E5.00E+01' >"$corpus/wild"
printf '\000&H1F' >"$corpus/hex"
printf '\000-.5D-2' >"$corpus/exp"
# And a saved set.
printf '/home/a\377Test.csv\3771:30\37721\3771\3770\3770\3771\377None\3770\377M401A\377MEAS?\377VDC\377\3771\3773000A0A0AC1\37710\37710\377' \
    >"$build/recall-corpus/set"

failed=0
run() {
    local target="$1" dir="$2" log="$build/$1.log" status
    set +e
    "$build/tests/$target" -max_len=4096 -max_total_time="$seconds" -print_final_stats=1 \
        "$dir" >"$log" 2>&1
    status=$?
    set -e
    echo "== $target"
    grep -E '^(Done|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)' "$log" || tail -n 20 "$log"
    if [ "$status" -ne 0 ]; then
        echo "fuzzing found a fault (exit $status), see $log"
        failed=1
    fi
}
run fuzz_processing "$corpus"
run fuzz_recall "$build/recall-corpus"
[ "$failed" -eq 0 ] || exit 1
echo "no fault found"
