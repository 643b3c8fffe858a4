#!/usr/bin/env bash
# The sway rows of the benchmark, run as the unprivileged user that owns DIR (sway refuses root):
#   sway_bench.sh DIR N GAP_MS
# DIR holds bin/ (zephyrlatch, zl_bench_rec, zl_bench_swaypress, zl_bench_clientfloor), runtime/ (mode 700), home/ and
# config/ with a seeded shortcut on Super+Alt+Shift+E whose command is "bin/zl_bench_rec DIR/z.log".
# Starts a headless sway and the program, prints one tab-separated line per row:
#   name state median p90 p99 max lost (times in microseconds)
# Only the processes started here are stopped.
set -euo pipefail
export LC_ALL=C
DIR=$1 N=$2 GAP_MS=$3
BIN=$DIR/bin
REC=$BIN/zl_bench_rec PRESS=$BIN/zl_bench_swaypress APP=$BIN/zephyrlatch
ID=7C1D0E4B-2A3F-4C5D-9E8F-0A1B2C3D4E5F
# evdev codes: Super, Alt, Shift and E (the program's), R (sway's exec floor), T (exec of --run)
MODS=125+56+42 E=18 R=19 T=20

unset DISPLAY WAYLAND_DISPLAY SWAYSOCK I3SOCK QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS
export HOME=$DIR/home XDG_CONFIG_HOME=$DIR/config XDG_RUNTIME_DIR=$DIR/runtime SHELL=/bin/sh LANG=C.UTF-8
export WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman
export SWAYSOCK=$XDG_RUNTIME_DIR/sway-bench.sock

STARTED=()
stop() {
    local pid=$1 i
    kill -TERM "$pid" 2>/dev/null || true
    for ((i = 0; i < 30; i++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
cleanup() { local i; for ((i = ${#STARTED[@]} - 1; i >= 0; i--)); do stop "${STARTED[i]}"; done; }
trap cleanup EXIT
trap 'exit 143' TERM INT

row() { # name state driver-output
    local kv=$3 f out=()
    for f in median_us p90_us p99_us max_us lost; do
        [[ " $kv " =~ \ $f=([^ ]*) ]] && out+=("${BASH_REMATCH[1]}") || out+=(NA)
    done
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$1" "$2" "${out[@]}"
}
log() { printf '[bench %s] %s\n' "$(date +%T)" "$*" >&2; }

# sway's exec runs its command through sh -c, so these two are what any exec binding pays.
cat >"$DIR/sway.config" <<EOF
xwayland disable
bindcode --no-repeat Mod4+Mod1+Shift+$((R + 8)) exec $REC $DIR/floor.log
bindcode --no-repeat Mod4+Mod1+Shift+$((T + 8)) exec $APP --run $ID
EOF
: >"$DIR/floor.log"
: >"$DIR/z.log"
sway -c "$DIR/sway.config" >"$DIR/sway.log" 2>&1 </dev/null &
STARTED+=("$!")
display=""
for _ in $(seq 400); do
    for socket in "$XDG_RUNTIME_DIR"/wayland-[0-9]*; do
        [[ -S $socket ]] && display=${socket##*/}
    done
    [[ -S $SWAYSOCK && -n $display ]] && break
    sleep 0.05
done
[[ -S $SWAYSOCK && -n $display ]] || { log "sway did not start"; tail -n 20 "$DIR/sway.log" >&2; exit 1; }
export WAYLAND_DISPLAY=$display

measure() { # name log chord
    local out
    if ! "$PRESS" ready --log "$2" --chord "$3" >/dev/null; then
        row "$1" not-ready ""
        return
    fi
    out=$("$PRESS" measure --log "$2" --chord "$3" -n "$N" --gap-ms "$GAP_MS")
    row "$1" ok "$out"
}

log "sway: exec floor, $N presses"
measure sway-exec "$DIR/floor.log" "$MODS+$R"

"$APP" >"$DIR/app.log" 2>&1 </dev/null &
app=$!
STARTED+=("$app")
log "sway: zephyrlatch through the IPC, $N presses"
measure zephyrlatch-ipc "$DIR/z.log" "$MODS+$E"
log "sway: the trigger command from an exec binding, $N presses"
measure trigger-exec "$DIR/z.log" "$MODS+$T"
log "sway: the trigger command started directly, $N runs"
row trigger-direct ok "$("$PRESS" run --log "$DIR/z.log" -n "$N" --gap-ms "$GAP_MS" -- "$APP" --run "$ID")"
row trigger-core-only ok "$("$PRESS" run --log "$DIR/z.log" -n "$N" --gap-ms "$GAP_MS" -- "$BIN/zl_bench_clientfloor" "$ID")"
kill -0 "$app" 2>/dev/null || log "zephyrlatch ended early: $(tail -n 3 "$DIR/app.log")"
log "sway: the floors of a started command, $N runs each"
row start-sh-c ok "$("$PRESS" run --log "$DIR/floor.log" -n "$N" --gap-ms "$GAP_MS" -- /bin/sh -c "$REC $DIR/floor.log")"
row start-exec ok "$("$PRESS" run --log "$DIR/floor.log" -n "$N" --gap-ms "$GAP_MS" -- "$REC" "$DIR/floor.log")"
