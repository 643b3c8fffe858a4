#!/usr/bin/env bash
# Runs a test as an unprivileged user (sway refuses root) with a private XDG_RUNTIME_DIR of that
# user, in which the test starts its own headless sway. Usage: with-sway.sh TEST [HELPER...]; the
# test and its helpers are copied to a folder that user can read, the test finds them beside it.
# As root, a live socket owned by root is left at $ZL_FOREIGN_SOCKET: one the program must refuse.
set -euo pipefail
dir=$(mktemp -d)
chmod 755 "$dir"
mkdir -m 700 "$dir/runtime" "$dir/home"
mkdir "$dir/bin"
cp "$@" "$dir/bin/"
chmod -R a+rX "$dir/bin"
holder=
cleanup() { [ -n "$holder" ] && kill "$holder" 2>/dev/null; wait 2>/dev/null; rm -rf "$dir"; }
trap cleanup EXIT
run=()
if [ "$(id -u)" -eq 0 ]; then
    chown nobody:nogroup "$dir/runtime" "$dir/home"
    python3 -c 'import os, socket, sys, time
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); os.chmod(sys.argv[1], 0o777); s.listen(8)
while True: time.sleep(60)' "$dir/foreign.sock" &
    holder=$!
    for _ in $(seq 200); do [ -S "$dir/foreign.sock" ] && break; sleep 0.025; done
    export ZL_FOREIGN_SOCKET="$dir/foreign.sock"
    run=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
unset DISPLAY WAYLAND_DISPLAY SWAYSOCK I3SOCK QT_QPA_PLATFORM
export HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime"
export WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman
cd "$dir"
"${run[@]}" "$dir/bin/$(basename "$1")"
