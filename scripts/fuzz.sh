#!/usr/bin/env bash
# Builds the fuzz targets (preset "fuzz": clang, libFuzzer, address and undefined-behaviour
# sanitizers) and runs each for the given time on a copy of its corpus under fuzz/corpus/, so
# the committed seeds never change. Further arguments go to libFuzzer (e.g. -seed=1, -jobs=2).
#
#   scripts/fuzz.sh [profile|mci_interpreter|cd_track_list|kveld|bitmap_reader|all] [seconds] [options]
#
# A crash, leak, hang or broken check is saved as build-fuzz/findings/<target>/<kind>-<hash>
# (replay it with `build-fuzz/fuzz/<target> <file>`); the script then ends with status 1.
# The grown corpus of the last run stays in build-fuzz/runs/<target>/corpus.
set -euo pipefail
cd "$(dirname "$0")/.."

all_targets=(profile mci_interpreter cd_track_list kveld bitmap_reader)
which=${1:-all}
seconds=${2:-60}
shift $(($# < 2 ? $# : 2))

if [ "$which" = all ]; then
  targets=("${all_targets[@]}")
elif [[ " ${all_targets[*]} " == *" $which "* ]]; then
  targets=("$which")
else
  echo "unknown fuzz target '$which'; one of: ${all_targets[*]} all" >&2
  exit 2
fi
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "seconds must be a positive whole number, not '$seconds'" >&2
  exit 2
fi

scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for target in "${targets[@]}"; do
  run=build-fuzz/runs/$target
  findings=build-fuzz/findings/$target
  rm -rf "$run"
  mkdir -p "$run/corpus" "$findings"
  cp fuzz/corpus/"$target"/* "$run/corpus/"
  echo "=== fuzz $target, ${seconds} s ==="
  if build-fuzz/fuzz/"$target" "$run/corpus" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -artifact_prefix="$findings/" -print_final_stats=1 "$@" \
      >"$run/log" 2>&1; then
    grep -E '^(Done|stat::number_of_executed_units|#[0-9]+ +DONE)' "$run/log" || true
  else
    failed+=("$target")
    # The report: from the first sanitizer or check line to the saved input.
    sed -n '/^==[0-9]*==\|^broken promise\|ERROR: libFuzzer\|runtime error/,/Test unit written/p' \
      "$run/log" | head -60
    echo "fuzz $target: FOUND A FAULT (whole log: $run/log)"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: faults found by ${failed[*]}; inputs in build-fuzz/findings/" >&2
  exit 1
fi
echo "fuzz: ${#targets[@]} passed, 0 failed"
