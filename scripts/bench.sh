#!/usr/bin/env bash
# Builds the default preset and runs every benchmark under bench/ (on a virtual X server when
# there is no display: the scene benchmark draws with OpenGL). Arguments go to each benchmark.
# The renderer as a whole program is measured by bench/measure_renderer.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
for b in $(find build/bench -type f -name 'bench_*' -perm -u+x | sort); do
  echo "=== $(basename "$b") ==="
  if [ -n "${DISPLAY:-}" ]; then "$b" "$@"; else scripts/with-xvfb.sh "$b" "$@"; fi
done
