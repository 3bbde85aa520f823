#!/usr/bin/env bash
# Builds Pellarin twice (default and address+undefined sanitizers) and runs every test of both.
# Tests that need a display start their own virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

for preset in default asan; do
  echo "=== $preset build ==="
  cmake --preset "$preset" -DPELLARIN_WERROR=ON >/dev/null
  cmake --build --preset "$preset"
  echo "=== $preset tests ==="
  ctest --preset "$preset"
done
