#!/usr/bin/env bash
# Runs one command against a private Xvfb that lives exactly as long as the command.
# -displayfd lets the server pick a free display, so tests can run in parallel.
# ZL_XVFB_ARGS adds server options, e.g. "-extension XTEST" for a display without synthetic input.
set -euo pipefail
dir=$(mktemp -d)
# shellcheck disable=SC2086 # ZL_XVFB_ARGS is split into options on purpose
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset ${ZL_XVFB_ARGS:-} 3>"$dir/display" 2>"$dir/xvfb.log" &
xvfb=$!
cleanup() { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$dir"; }
trap cleanup EXIT
for _ in $(seq 200); do
    [ -s "$dir/display" ] && break
    kill -0 "$xvfb" 2>/dev/null || { cat "$dir/xvfb.log" >&2; exit 1; }
    sleep 0.025
done
[ -s "$dir/display" ] || { echo "Xvfb did not start" >&2; cat "$dir/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$dir/display")"
export QT_QPA_PLATFORM=xcb
"$@"
