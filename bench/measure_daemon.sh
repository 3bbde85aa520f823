#!/usr/bin/env bash
# Measures Pellarin as a display mode of the xscreensaver daemon, installed from a build into a
# temporary prefix, on a virtual X server with Mesa's software renderer, for each screen size:
#   capped    "pellarin --root", as the daemon's settings page leaves it: frames at most at the
#             monitor's refresh rate
#   uncapped  "pellarin --root --delay 0": frames as fast as they come
#   fps30     "pellarin --root --max-fps 30": the page's slider moved to 30
# and prints the time from the daemon's activation to the first lit frame, the processor use
# of the renderer and of the host (in % of one core, over a given time, default 30 s), the
# renderer's frame rate, and the time from the deactivation until no program of Pellarin runs.
#
#   bench/measure_daemon.sh [build folder] [seconds]
# PELLARIN_MEASURE_SIZES (default "1024x768 1920x1080") and PELLARIN_MEASURE_MODES (default
# "capped uncapped fps30") choose what is measured. The daemon refuses to run display modes as
# root: under root it runs as nobody.
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
seconds="${2:-30}"
here="$(cd "$(dirname "$0")/.." && pwd)"
sizes="${PELLARIN_MEASURE_SIZES:-1024x768 1920x1080}"
modes="${PELLARIN_MEASURE_MODES:-capped uncapped fps30}"

if [ -z "${PELLARIN_MEASURE_INSIDE:-}" ]; then
  [ -x "$build/bin/Pellarin2.dll" ] || { echo "no $build/bin: build the programs first" >&2; exit 1; }
  top="$(mktemp -d)"
  trap 'rm -rf "$top"' EXIT
  chmod 755 "$top"
  cmake --install "$build" --prefix "$top/prefix" >/dev/null
  printf '%-10s %-9s %10s %9s %7s %6s %8s\n' size mode lit_after renderer fps host gone_in
  for size in $sizes; do
    PELLARIN_MEASURE_INSIDE="$top" PELLARIN_XVFB_SCREEN="${size}x24" \
      "$here/scripts/with-xvfb.sh" "$0" "$build" "$seconds"
  done
  exit 0
fi

top="$PELLARIN_MEASURE_INSIDE"
prefix="$top/prefix"
renderer="$prefix/lib/pellarin/Pellarin2.dll"
host="$prefix/lib/pellarin/Pellarin"
size="$(xdpyinfo | awk '/dimensions:/ {print $2}')"
ticks=$(getconf CLK_TCK)
now() { date +%s.%N; }
as_user() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u nobody -- "$@"; else "$@"; fi
}
# The processes that run this program file.
pids_of() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/exe" 2>/dev/null)" = "$1" ] && echo "${p#/proc/}"
  done
  return 0
}
# True while one of these processes has not ended (a zombie has).
any_running() {
  local p state
  for p in "$@"; do
    state=$(awk '{print $3}' "/proc/$p/stat" 2>/dev/null) || continue
    [ "$state" != Z ] && return 0
  done
  return 1
}
cpu_of() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }

for mode in $modes; do
  case "$mode" in
    capped) command="pellarin --root" ;;
    uncapped) command="pellarin --root --delay 0" ;;
    fps30) command="pellarin --root --max-fps 30" ;;
    *) echo "unknown mode $mode" >&2; exit 1 ;;
  esac
  home="$top/home-$mode-$size"
  mkdir -p "$home"
  printf 'mode: one\nselected: 0\ntimeout: 1:00:00\ncycle: 0:00:00\nlock: False\nfade: False\nunfade: False\nsplash: False\nprograms: %s \\n\n' \
    "$command" >"$home/.xscreensaver"
  [ "$(id -u)" -eq 0 ] && chown -R nobody: "$home"
  environment=(env "HOME=$home" "XDG_CONFIG_HOME=$home/.config" "PATH=$prefix/bin:/usr/bin:/bin"
    "DISPLAY=$DISPLAY" PELLARIN_DEBUG=1)
  as_user "${environment[@]}" xscreensaver --no-splash >"$home/daemon.out" 2>&1 &
  daemon=$!
  until as_user "${environment[@]}" xscreensaver-command -activate >/dev/null 2>&1; do sleep 0.1; done
  activated=$(now)
  until [ "$(import -window root -format '%[fx:maxima]' info: 2>/dev/null || echo 0)" != "0" ]; do
    sleep 0.01
  done
  lit=$(now)
  sleep 2  # past the start-up
  rpid=$(pids_of "$renderer" | head -1)
  hpid=$(pids_of "$host" | head -1)
  r0=$(cpu_of "$rpid"); h0=$(cpu_of "$hpid")
  sleep "$seconds"
  r1=$(cpu_of "$rpid"); h1=$(cpu_of "$hpid")
  running=$(pids_of "$renderer"; pids_of "$host")
  as_user "${environment[@]}" xscreensaver-command -deactivate >/dev/null
  deactivated=$(now)
  # shellcheck disable=SC2086
  while any_running $running; do sleep 0.005; done
  gone=$(now)
  as_user "${environment[@]}" xscreensaver-command -exit >/dev/null 2>&1 || true
  wait "$daemon" 2>/dev/null || true
  # The renderer's closing debug line covers its whole run: "Frames drawn: N in T s".
  frames=$(awk '/Frames drawn:/ {print $3, $5}' "$home/daemon.out" | tail -1)
  awk -v size="$size" -v mode="$mode" -v a="$activated" -v l="$lit" -v d="$deactivated" \
      -v g="$gone" -v r="$((r1 - r0))" -v h="$((h1 - h0))" -v t="$ticks" -v s="$seconds" \
      -v frames="${frames:-0 0}" 'BEGIN {
    split(frames, n, " ")
    fps = n[2] > 0 ? sprintf("%.1f", n[1] / n[2]) : "?"
    printf "%-10s %-9s %9.3fs %8.0f%% %7s %5.0f%% %7.3fs\n", size, mode, l - a, r / t / s * 100,
           fps, h / t / s * 100, g - d
  }'
done
