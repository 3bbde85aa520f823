#!/usr/bin/env bash
# Renders the scene at 3 s, 7 s and 11 s, once with the blue-cloud fallback and once with a
# picture file, into screenshots/scene-*.png (on a virtual X server when there is no display).
#   scripts/scene_pictures.sh [picture.jpg]
# Without an argument the picture is a generated colour plasma, the same in every run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target render_scene >/dev/null
out="$PWD/screenshots"
mkdir -p "$out"
picture="${1:-$out/scene-picture.jpg}"
if [ $# -eq 0 ]; then
  convert -size 256x256 -seed 7 plasma:red-blue "$picture"
fi
tool="$PWD/build/bin/tools/render_scene"
render() {
  for t in 3 7 11; do
    "$tool" --time "$t" --out "$out/scene-fallback-${t}s.png" --no-picture
    "$tool" --time "$t" --out "$out/scene-picture-${t}s.png" --picture "$picture"
  done
}
if [ -n "${DISPLAY:-}" ]; then render; else export -f render; export tool out picture; scripts/with-xvfb.sh bash -c render; fi
ls "$out"/scene-*.png
