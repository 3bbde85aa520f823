#!/usr/bin/env bash
# Runs the Windows build's programs under Wine, in the prefix named by WINEPREFIX.
#   wine-run.sh --start          makes that prefix afresh, starts a virtual X server for it and a
#                                persistent wineserver
#   wine-run.sh --stop           stops the wineserver and the X server, removes the prefix
#   wine-run.sh program [args]   runs a program in the prefix, with its exit status
# CTest uses it as the cross-compiling emulator: one --start before a run's tests, one --stop
# after them. Without a persistent server each program would wait ~3 s at its end for Wine's
# background processes, which hold its output open; booting a fresh prefix takes 8 to 30 s.
#
# Wine binds a prefix's desktop to the display its first window program met, for the prefix's
# life: so every prefix gets an X server of its own at --start (screen PELLARIN_XVFB_SCREEN,
# default 1024x768x24), and every program run here draws on it, never on the caller's desktop.
# Its display (":N") is in "$WINEPREFIX/pellarin-display". WINEDEBUG is -all unless set.
set -u
: "${WINEPREFIX:?wine-run.sh needs WINEPREFIX}"
export WINEPREFIX WINEDEBUG="${WINEDEBUG:--all}"
# Only the build's own prefixes are ever removed.
case "$(basename "$WINEPREFIX")" in
  wine-prefix) ;;
  *) echo "wine-run.sh: WINEPREFIX must end in /wine-prefix, not $WINEPREFIX" >&2; exit 2 ;;
esac
display_file="$WINEPREFIX/pellarin-display"
xvfb_pid_file="$WINEPREFIX/pellarin-xvfb.pid"

stop_x_server() {
  if [ -f "$xvfb_pid_file" ]; then
    kill "$(cat "$xvfb_pid_file")" 2>/dev/null
  fi
}

case "${1:-}" in
  --start)
    wineserver -k 2>/dev/null
    stop_x_server
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    started=$(date +%s%N)
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    # Its own session, no terminal, no streams: it outlives this script until --stop.
    setsid Xvfb -displayfd 3 -screen 0 "${PELLARIN_XVFB_SCREEN:-1024x768x24}" -nolisten tcp \
      -noreset +extension GLX +extension RANDR 3>"$fifo" </dev/null >/dev/null 2>&1 &
    echo $! >"$xvfb_pid_file"
    if ! read -r -t 20 display <"$fifo"; then
      echo "wine-run.sh: Xvfb did not start" >&2
      rm -f "$fifo"
      stop_x_server
      exit 1
    fi
    rm -f "$fifo"
    echo ":$display" >"$display_file"
    export DISPLAY=":$display"
    # Background processes keep their standard streams for their lifetime: give them none.
    # The server outlives an interrupted run (no --stop) by five idle minutes at most.
    wineserver -p300 </dev/null >/dev/null 2>&1 || exit 1
    wine wineboot -i </dev/null >/dev/null 2>&1 || exit 1
    # A program that crashes ends with its code instead of waiting behind a crash dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      </dev/null >/dev/null 2>&1
    echo "wine prefix booted in $(( ($(date +%s%N) - started) / 1000000 )) ms on $DISPLAY: $WINEPREFIX"
    ;;
  --stop)
    wineserver -k 2>/dev/null
    stop_x_server
    rm -rf "$WINEPREFIX"
    ;;
  "")
    echo "usage: wine-run.sh --start | --stop | program [args]" >&2
    exit 2
    ;;
  *)
    if [ -f "$display_file" ]; then
      export DISPLAY="$(cat "$display_file")"
    else
      unset DISPLAY
    fi
    exec wine "$@"
    ;;
esac
