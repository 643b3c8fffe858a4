#!/usr/bin/env bash
# Runs a test as an unprivileged user (sway refuses root) with a private XDG_RUNTIME_DIR of that
# user, in which the test starts its own headless sway. Usage: with-sway.sh TEST [HELPER...]; the
# test and its helpers are copied to a folder that user can read, the test finds them beside it.
# As root, a socket owned by root is left at $ZL_FOREIGN_SOCKET: one the program must refuse.
set -euo pipefail
dir=$(mktemp -d)
chmod 755 "$dir"
mkdir -m 700 "$dir/runtime" "$dir/home"
mkdir "$dir/bin"
cp "$@" "$dir/bin/"
chmod -R a+rX "$dir/bin"
trap 'rm -rf "$dir"' EXIT
run=()
if [ "$(id -u)" -eq 0 ]; then
    chown nobody:nogroup "$dir/runtime" "$dir/home"
    # Refused by its owner before any connection is tried, so nothing needs to serve it.
    python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$dir/foreign.sock"
    export ZL_FOREIGN_SOCKET="$dir/foreign.sock"
    run=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
# The sanitizer's suppressions must be readable by that user too.
if [[ "${LSAN_OPTIONS:-}" =~ suppressions=([^:]+) ]]; then
    cp "${BASH_REMATCH[1]}" "$dir/lsan.supp" && chmod a+r "$dir/lsan.supp"
    LSAN_OPTIONS=${LSAN_OPTIONS/"${BASH_REMATCH[1]}"/$dir/lsan.supp}
fi
unset DISPLAY WAYLAND_DISPLAY SWAYSOCK I3SOCK QT_QPA_PLATFORM
export HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime"
export WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman
cd "$dir"
"${run[@]}" "$dir/bin/$(basename "$1")"
