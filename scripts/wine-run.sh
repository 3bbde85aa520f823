#!/usr/bin/env bash
# Runs the Windows build's programs under Wine, in the prefix named by WINEPREFIX.
#   wine-run.sh --start          makes that prefix afresh and starts a persistent wineserver
#   wine-run.sh --stop           stops the wineserver and removes the prefix
#   wine-run.sh program [args]   runs a program in the prefix, with its exit status
# CTest uses it as the cross-compiling emulator: one --start before a run's tests, one --stop
# after them. Without a persistent server each program would wait ~3 s at its end for Wine's
# background processes, which hold its output open; booting a fresh prefix takes 8 to 30 s.
set -u
: "${WINEPREFIX:?wine-run.sh needs WINEPREFIX}"
export WINEPREFIX WINEDEBUG=-all
# Only the build's own prefixes are ever removed.
case "$(basename "$WINEPREFIX")" in
  wine-prefix) ;;
  *) echo "wine-run.sh: WINEPREFIX must end in /wine-prefix, not $WINEPREFIX" >&2; exit 2 ;;
esac

case "${1:-}" in
  --start)
    wineserver -k 2>/dev/null
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    started=$(date +%s%N)
    # Background processes keep their standard streams for their lifetime: give them none.
    # The server outlives an interrupted run (no --stop) by five idle minutes at most.
    wineserver -p300 </dev/null >/dev/null 2>&1 || exit 1
    wine wineboot -i </dev/null >/dev/null 2>&1 || exit 1
    echo "wine prefix booted in $(( ($(date +%s%N) - started) / 1000000 )) ms: $WINEPREFIX"
    ;;
  --stop)
    wineserver -k 2>/dev/null
    rm -rf "$WINEPREFIX"
    ;;
  "")
    echo "usage: wine-run.sh --start | --stop | program [args]" >&2
    exit 2
    ;;
  *)
    exec wine "$@"
    ;;
esac
