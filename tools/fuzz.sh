#!/usr/bin/env bash
# Runs every libFuzzer target (tests/*/fuzz_*.cpp) for a number of seconds each (default 60),
# or for a number of executions each.
#   tools/fuzz.sh [seconds]
#   tools/fuzz.sh --runs 10000000
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
limit="-max_total_time=${1:-60}"
if [ "${1:-}" = "--runs" ]; then limit="-runs=${2:?how many executions}"; fi
build="$here/build-fuzz"

if ! command -v clang++ >/dev/null 2>&1; then
    echo "clang not installed, fuzzing skipped"
    exit 0
fi

targets=()
for src in "$here"/tests/*/fuzz_*.cpp; do
    targets+=("$(basename "$src" .cpp)")
done

CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target "${targets[@]}" -j2

# A few real inputs give each fuzzer a head start.
starting_inputs() {
    local corpus="$1"
    case "$2" in
    fuzz_processing)
        printf '\003VDC+1.2345E+00VDC' >"$corpus/unit"
        printf '\002*,NORM,+1.2E-3' >"$corpus/star"
        printf '\003??E5.00E+01' >"$corpus/wild"
        printf '\000&H1F' >"$corpus/hex"
        printf '\000-.5D-2' >"$corpus/exp"
        ;;
    fuzz_benchfile)
        cat >"$corpus/bench" <<'JSON'
{ "timeout_scale": 0.01, "journal": "",
  "instruments": [ { "address": 3, "status": "ieee488.2", "terminator": "\n", "delay_ms": 0,
      "replies": { "*IDN?": "SIMLAB,M401A,0,1.0", "MEAS?": ["+1", "+2"],
                   "SLOW?": { "answer": "1", "delay_ms": 20 }, "BAD?": { "write_error": 6 },
                   "MUTE?": null }, "accepts": ["OUT ON", "VSET *"] },
    { "address": 7, "status": "serial-poll", "terminator": "\r\n" } ] }
JSON
        printf '{"instruments": [{"address": 31}]}' >"$corpus/refused"
        ;;
    fuzz_prologix)
        printf '\010Prologix GPIB-USB Controller version 6.107\r\n+1.0E+00\n16\r\n1\r\n' >"$corpus/prologix"
        printf '\077AR488 GPIB controller, ver. 0.51.29\r\nA\r\nB\033+\n3,7,9\r\n0\r\n' >"$corpus/ar488"
        printf '\200x' >"$corpus/endless"
        # An adapter that answers ++ver: answers marked with the eot byte, a block holding it.
        printf '\110Prologix GPIB-USB Controller version 6.107\r\n4\r\n+1.0E+00\n\004#14A\004B\n\n\00416\r\n' >"$corpus/eot"
        ;;
    fuzz_statusword)
        printf '3000A0A0AC1' >"$corpus/default"
        printf '71E1E1E1E93' >"$corpus/largest"
        printf '8FF00FF1F61' >"$corpus/outside"
        printf '7' >"$corpus/short"
        ;;
    fuzz_busmate)
        printf '\003ID?\r\n*IDN?\r\n  INIT \r\n\r\n<Help>\rFAC\nSET?' >"$corpus/list"
        printf '\026SIMLAB,M401A,0,1.0,and a longer answer that takes two lines\r\n' >"$corpus/answer"
        ;;
    fuzz_logreader)
        printf '\005sep=;\r\nTime;Time From Start;Sequence;Measured\r\n13:05:09;0:00:00;1; 1.5\r\n13:05:10;0:00:01;2;ERR\r\n' >"$corpus/dot"
        printf '\003Sequence;Measured\r\n1;1,5\r\n2;\r\nInvalid Measurement, Sequence terminated by program.\r\nX\r\n' >"$corpus/comma"
        printf '\001Time;Measured\n11:59:59 PM;1\n12:00:01 AM;2' >"$corpus/lf"
        ;;
    fuzz_recall)
        # A saved set: the values in save order, separated by 0xFF.
        printf '/home/a\377Test.csv\3771:30\37721\3771\3770\3770\3771\377None\3770\377M401A\377MEAS?\377VDC\377\3771\3773000A0A0AC1\37710\37710\377' \
            >"$corpus/set"
        ;;
    esac
}

failed=0
for target in "${targets[@]}"; do
    corpus="$build/fuzz-corpus/$target"
    mkdir -p "$corpus"
    starting_inputs "$corpus" "$target"
    log="$build/$target.log"
    echo "== $target"
    set +e
    "$build/tests/$target" -max_len=4096 -rss_limit_mb=2048 "$limit" \
        -print_final_stats=1 "$corpus" >"$log" 2>&1
    status=$?
    set -e
    grep -E '^(Done|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)' "$log" || tail -n 20 "$log"
    if [ "$status" -ne 0 ]; then
        echo "$target found a fault (exit $status), see $log"
        failed=1
    fi
done
[ "$failed" -eq 0 ] && echo "no fault found"
exit "$failed"
