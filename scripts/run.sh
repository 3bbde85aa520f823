#!/usr/bin/env bash
# Builds Pellarin and runs the screen saver the way the desktop does: the host in run mode
# (build/bin/Pellarin /S), which hands a picture over and starts the renderer.
# On a desktop (DISPLAY set) it shows it; Escape ends it.
# Without a display it runs it on a virtual X server for a few seconds, saves screenshots and
# prints their paths, then presses Escape.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target programs

program=(build/bin/Pellarin /S)

if [ -n "${DISPLAY:-}" ]; then
  exec "${program[@]}"
fi

seconds="${PELLARIN_RUN_SECONDS:-12}"
shots_dir="$PWD/screenshots"
mkdir -p "$shots_dir"
scripts/with-xvfb.sh bash -c '
  shots_dir=$1; seconds=$2; shift 2
  program=("$@")
  "${program[@]}" &
  pid=$!
  for ((i = 1; i <= seconds; i += 2)); do
    sleep 2
    shot="$shots_dir/pellarin-$(printf %02d $((i + 1)))s.png"
    import -window root "$shot" && echo "screenshot: $shot"
  done
  # Escape reaches the renderer, whose end ends the host within half a second.
  xdotool key Escape 2>/dev/null || kill "$pid"
  for ((i = 0; i < 50; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "run: the host did not end after Escape; stopping it" >&2
    kill "$pid"
  fi
  wait "$pid"
' _ "$shots_dir" "$seconds" "${program[@]}"
