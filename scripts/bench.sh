#!/usr/bin/env bash
# Builds the default preset and runs every benchmark under bench/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
for b in build/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "=== $(basename "$b") ==="
  "$b" "$@"
done
