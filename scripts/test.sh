#!/usr/bin/env bash
# Builds Pellarin twice (default and address+undefined sanitizers) and runs every test of both,
# runs each fuzz target for a few seconds on its corpus (with a fixed seed, so a run repeats) as
# a smoke test, then cross-builds the Windows files and runs their tests under Wine.
# Tests that need a display start their own virtual X server. Run as root, the package test
# installs the Debian package built from the default build on this machine and removes it again,
# and the daemon test runs xscreensaver as the ordinary user nobody.
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

echo "=== fuzz smoke test ==="
scripts/fuzz.sh all 5 -seed=1

echo "=== windows build ==="
started=$SECONDS
cmake --preset windows -DPELLARIN_WERROR=ON >/dev/null
cmake --build --preset windows
built=$SECONDS
echo "=== windows tests (under Wine, in fresh prefixes) ==="
# The Wine tests draw on virtual X servers of their own (scripts/wine-run.sh), never on the
# caller's desktop.
env -u DISPLAY ctest --preset windows
echo "windows: build $((built - started)) s, tests $((SECONDS - built)) s"
