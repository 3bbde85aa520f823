#!/usr/bin/env bash
# Measures the renderer program on a 1024x768 virtual X server with Mesa's software renderer:
# time from process start to its window and to the first frame with crystals, processor use,
# and resident memory after a given time (default 60 s).
#   bench/measure_renderer.sh [build folder] [seconds]
set -euo pipefail
build="${1:-build}"
seconds="${2:-60}"
here="$(cd "$(dirname "$0")/.." && pwd)"
program="$(cd "$build" && pwd)/bin/Pellarin2.dll"
[ -x "$program" ] || { echo "no $program: build pellarin_renderer first" >&2; exit 1; }

if [ -z "${PELLARIN_MEASURE_INSIDE:-}" ]; then
  PELLARIN_MEASURE_INSIDE=1 PELLARIN_XVFB_SCREEN=1024x768x24 exec "$here/scripts/with-xvfb.sh" "$0" "$@"
fi

export XDG_CONFIG_HOME="$(mktemp -d)"
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT
now() { date +%s.%N; }
start=$(now)
"$program" &
pid=$!
until xdotool search --name '^Quorvane_VC$' >/dev/null 2>&1; do sleep 0.01; done
window=$(now)
until [ "$(import -window root -format '%[fx:maxima]' info: 2>/dev/null || echo 0)" != "0" ]; do
  sleep 0.02
done
frame=$(now)
ticks=$(getconf CLK_TCK)
cpu_start=$(awk '{print $14 + $15}' "/proc/$pid/stat")
sleep "$seconds"
cpu_end=$(awk '{print $14 + $15}' "/proc/$pid/stat")
rss=$(awk '/VmRSS/ {print $2, $3}' "/proc/$pid/status")
threads=$(awk '/Threads/ {print $2}' "/proc/$pid/status")
xdotool key Escape
wait "$pid" && status=0 || status=$?
awk -v s="$start" -v w="$window" -v f="$frame" -v c0="$cpu_start" -v c1="$cpu_end" \
    -v t="$ticks" -v d="$seconds" -v rss="$rss" -v th="$threads" -v st="$status" 'BEGIN {
  printf "start to window:        %.3f s\n", w - s
  printf "start to first frame:   %.3f s\n", f - s
  printf "processor use:          %.0f %% of one core over %d s (%d threads)\n", (c1 - c0) / t / d * 100, d, th
  printf "resident memory:        %s after %d s\n", rss, d
  printf "exit code on Escape:    %d\n", st
}'
