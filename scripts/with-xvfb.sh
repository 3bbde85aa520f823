#!/usr/bin/env bash
# Runs a command on its own virtual X server and stops the server afterwards.
# The server picks a free display itself (-displayfd), so parallel runs never collide.
# PELLARIN_XVFB_SCREEN sets the screen (default 1024x768x24).
set -u
screen="${PELLARIN_XVFB_SCREEN:-1024x768x24}"
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset +extension GLX +extension RANDR 3>"$fifo" 2>/dev/null &
xvfb_pid=$!
read -r -t 20 display <"$fifo" || { echo "with-xvfb: Xvfb did not start" >&2; kill "$xvfb_pid" 2>/dev/null; rm -f "$fifo"; exit 1; }
rm -f "$fifo"
export DISPLAY=":$display"
"$@"
status=$?
kill "$xvfb_pid" 2>/dev/null
wait "$xvfb_pid" 2>/dev/null
exit $status
