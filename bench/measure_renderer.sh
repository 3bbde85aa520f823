#!/usr/bin/env bash
# Measures the renderer program on a virtual X server with Mesa's software renderer: time from
# process start to its window and to the first frame with crystals, processor use (in % of one
# core, over a given time, default 60 s), frame rate, processor time per frame (over the whole
# run: what a frame costs, even when other programs leave the renderer short of processor
# time) and resident memory, for each screen size and way of running:
#   standalone  its own popup, no frame cap (as the host starts it)
#   window      drawing into a given window (--root: a child of the whole screen, as a
#               screen-saver daemon's window), capped at the monitor's refresh rate by default
#   delay       the same with --delay 20000 (the daemon's usual 20 ms between frames)
#
#   bench/measure_renderer.sh [build folder] [seconds]
# PELLARIN_MEASURE_SIZES (default "1024x768 1920x1080") and PELLARIN_MEASURE_MODES (default
# "standalone window delay") choose what is measured.
set -euo pipefail
build="${1:-build}"
seconds="${2:-60}"
here="$(cd "$(dirname "$0")/.." && pwd)"
program="$(cd "$build" && pwd)/bin/Pellarin2.dll"
[ -x "$program" ] || { echo "no $program: build pellarin_renderer first" >&2; exit 1; }
sizes="${PELLARIN_MEASURE_SIZES:-1024x768 1920x1080}"
modes="${PELLARIN_MEASURE_MODES:-standalone window delay}"

if [ -z "${PELLARIN_MEASURE_INSIDE:-}" ]; then
  printf '%-10s %-11s %8s %8s %10s %7s %9s %10s %5s\n' size mode window_s frame_s processor \
    fps ms/frame memory exit
  for size in $sizes; do
    PELLARIN_MEASURE_INSIDE="$size" PELLARIN_XVFB_SCREEN="${size}x24" \
      "$here/scripts/with-xvfb.sh" "$0" "$build" "$seconds"
  done
  exit 0
fi

size="$PELLARIN_MEASURE_INSIDE"
width="${size%x*}"
height="${size#*x}"
config="$(mktemp -d)"
trap 'rm -rf "$config"' EXIT
# The standalone popup takes its size from the settings file, as the host writes it.
mkdir -m 700 "$config/k_veld_temp"
printf '[Settings]\r\nWidth= %s\r\nHeight= %s\r\n' "$width" "$height" \
  >"$config/k_veld_temp/Pellarin.ini"
export XDG_CONFIG_HOME="$config" PELLARIN_DEBUG=1
now() { date +%s.%N; }
ticks=$(getconf CLK_TCK)

for mode in $modes; do
  case "$mode" in
    standalone) arguments=() ;;
    window) arguments=(--root) ;;
    delay) arguments=(--root --delay 20000) ;;
    *) echo "unknown mode $mode" >&2; exit 1 ;;
  esac
  log="$config/$mode.log"
  start=$(now)
  "$program" "${arguments[@]}" 2>"$log" &
  pid=$!
  until xdotool search --name '^Quorvane_VC$' >/dev/null 2>&1; do sleep 0.01; done
  window=$(now)
  until [ "$(import -window root -format '%[fx:maxima]' info: 2>/dev/null || echo 0)" != "0" ]; do
    sleep 0.02
  done
  frame=$(now)
  cpu_start=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  sleep "$seconds"
  cpu_end=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  rss=$(awk '/VmRSS/ {print $2 " " $3}' "/proc/$pid/status")
  # The daemon's way to stop a hack; the standalone program ends the same way.
  kill -TERM "$pid"
  wait "$pid" && status=0 || status=$?
  # "Frames drawn: N in T s" covers the whole run.
  frames=$(awk '/^Frames drawn:/ {print $3, $5}' "$log")
  awk -v size="$size" -v mode="$mode" -v s="$start" -v w="$window" -v f="$frame" \
      -v c0="$cpu_start" -v c1="$cpu_end" -v t="$ticks" -v d="$seconds" \
      -v frames="${frames:-0 0}" -v rss="$rss" -v st="$status" 'BEGIN {
    split(frames, n, " ")
    fps = n[2] > 0 ? sprintf("%.1f", n[1] / n[2]) : "?"
    cost = n[1] > 0 ? sprintf("%.1f", c1 / t * 1000 / n[1]) : "?"
    printf "%-10s %-11s %8.3f %8.3f %9.0f%% %7s %9s %7s kB %5d\n", size, mode, w - s, f - s,
           (c1 - c0) / t / d * 100, fps, cost, rss + 0, st
  }'
done
