#!/usr/bin/env bash
# Runs one command on a private session bus that lives exactly as long as the command.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d)
dbus-daemon --config-file="$here/session-bus.conf" --nofork --print-address=3 3>"$dir/address" 2>"$dir/bus.log" &
bus=$!
cleanup() { kill "$bus" 2>/dev/null; wait "$bus" 2>/dev/null; rm -rf "$dir"; }
trap cleanup EXIT
for _ in $(seq 200); do
    [ -s "$dir/address" ] && break
    kill -0 "$bus" 2>/dev/null || { cat "$dir/bus.log" >&2; exit 1; }
    sleep 0.025
done
[ -s "$dir/address" ] || { echo "dbus-daemon did not start" >&2; cat "$dir/bus.log" >&2; exit 1; }
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$dir/address")
"$@"
