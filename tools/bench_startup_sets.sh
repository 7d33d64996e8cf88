#!/usr/bin/env bash
# Start-up time with an empty settings store against one holding the start-up set and all
# five named sets: time from process start to the shown, first-activated main window.
#   tools/bench_startup_sets.sh [runs]   (default 15 runs of each, alternating)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-15}"
bench="$here/build/tools/bench_startup"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/empty" "$work/full/Sequor"
{
    for section in Settings Settings1 Settings2 Settings3 Settings4 Settings5; do
        printf '[%s]\n' "$section"
        printf 'LogFilePath=%s\nLogFileName=Run.csv\nInterval=1:30\nSequence=400\n' "$work"
        printf 'IntervalTime=1\nPCTime=1\nTimeFromStart=1\nSequenceNumber=1\n'
        printf 'ManualGPIBAddress=3\nID=1\nDevice=M401A\nQuery=MEAS?\nExclude1=VDC\nExclude2=\n'
        printf 'DecNotation=1\nConditionStatusWord=3000A0A0AC1\nConditionTargetValue0=10\n'
        printf 'ConditionTargetValue1=10\nConditionGPIBCommand=OUT OFF\nSetName=Set %s\n\n' "$section"
    done
} >"$work/full/Sequor/Sequor.ini"

# Milliseconds from just before the start to the shown window.
one() {
    local start shown
    start=$(date +%s%3N)
    shown=$(XDG_CONFIG_HOME="$work/$1" SEQUOR_BUS=sim QT_QPA_PLATFORM=offscreen "$bench" |
        sed -n 's/^shown_epoch_ms=\([0-9]*\).*/\1/p')
    echo $((shown - start))
}

declare -a empty full
for ((i = 0; i < runs; i++)); do
    empty+=("$(one empty)")
    full+=("$(one full)")
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
me=$(median "${empty[@]}")
mf=$(median "${full[@]}")
echo "empty store: median ${me} ms (${empty[*]})"
echo "six sets:    median ${mf} ms (${full[*]})"
awk -v a="$me" -v b="$mf" 'BEGIN { printf "difference %+d ms, ratio %.3f\n", b - a, b / a }'
