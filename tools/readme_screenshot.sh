#!/usr/bin/env bash
# Takes the README's screenshot: the real program under Xvfb on the simulated bench, after a
# first run of five measurements as the README's walk-through describes it.
#   tools/readme_screenshot.sh [build dir] [output png]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
out="${2:-$here/package/first-run.png}"
work="$(mktemp -d)"
logs=/tmp/sequor-first-run # short, so the Path box shows all of it
display=:$((90 + RANDOM % 100))
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work" "$logs"
}
trap cleanup EXIT

mkdir -p "$work/config/Sequor" "$logs"
cat >"$work/config/Sequor/Sequor.ini" <<INI
[Settings]
LogFilePath=$logs
LogFileName=first.csv
Interval=2
Sequence=5
IntervalTime=0
PCTime=1
TimeFromStart=0
SequenceNumber=1
ID=1
Device=M401A
Query=MEAS?
INI

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
sleep 1
DISPLAY=$display openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
DISPLAY=$display XDG_CONFIG_HOME="$work/config" SEQUOR_BUS=sim QT_QPA_PLATFORM=xcb \
    "$build/sequor" >/dev/null 2>&1 &
pids+=($!)
window=""
for _ in $(seq 50); do
    window="$(DISPLAY=$display xdotool search --name '^Sequor, v' 2>/dev/null | head -1 || true)"
    [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { echo "no Sequor window" >&2; exit 1; }
sleep 3 # the splash window shows for 2 s
DISPLAY=$display xdotool windowactivate --sync "$window"
DISPLAY=$display xdotool key --window "$window" alt+c # Connect
sleep 1
DISPLAY=$display xdotool key --window "$window" alt+r # Start Sequence
sleep 11                                              # five measurements, 2 s apart
DISPLAY=$display import -window "$window" "$work/shot.png"
# Small enough for the README: a 64-colour palette.
convert "$work/shot.png" -colors 64 -strip "PNG8:$out"
echo "$out: $(stat -c %s "$out") bytes; the log:"
cat "$logs/first.csv"
