#!/usr/bin/env bash
# Builds Pellarin and runs the screen saver.
# On a desktop (DISPLAY set) it shows it; Escape ends it.
# Without a display it runs it on a virtual X server for a few seconds and saves screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default

program=(build/bin/Pellarin2.dll)

if [ -n "${DISPLAY:-}" ]; then
  exec "${program[@]}"
fi

seconds="${PELLARIN_RUN_SECONDS:-12}"
shots_dir="$PWD/screenshots"
mkdir -p "$shots_dir"
scripts/with-xvfb.sh bash -c '
  program=("${@:3}")
  shots_dir=$1; seconds=$2
  "${program[@]}" &
  pid=$!
  for ((i = 1; i <= seconds; i += 2)); do
    sleep 2
    shot="$shots_dir/pellarin-$(printf %02d $((i + 1)))s.png"
    import -window root "$shot" && echo "screenshot: $shot"
  done
  xdotool key Escape 2>/dev/null || kill "$pid"
  wait "$pid"
' _ "$shots_dir" "$seconds" "${program[@]}"
