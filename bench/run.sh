#!/usr/bin/env bash
# Prints the benchmark tables: hotkey press to action against peer daemons, scale, paste.
#   bench/run.sh BUILD_DIR [-n PRESSES] [--lock-n PRESSES] [--gap-ms MS] [--starts K] [--only latency,sway,scale,paste]
# Everything runs on a private Xvfb or headless sway; only processes this script started are stopped.
set -euo pipefail
export LC_ALL=C

usage() { sed -n '2,4{s/^# \{0,1\}//;p}' "${BASH_SOURCE[0]}" >&2; exit 2; }
(($# >= 1)) || usage
BUILD=$(cd "$1" && pwd)
shift
N=1000 LOCK_N=1000 GAP_MS=10 STARTS=5 ONLY=latency,sway,scale,paste
while (($#)); do
    (($# >= 2)) || usage
    case $1 in
        -n) N=$2 ;;
        --lock-n) LOCK_N=$2 ;;
        --gap-ms) GAP_MS=$2 ;;
        --starts) STARTS=$2 ;;
        --only) ONLY=$2 ;;
        *) usage ;;
    esac
    shift 2
done
wants() { [[ ,$ONLY, == *,$1,* ]]; }

REC=$BUILD/bench/zl_bench_rec
FLOOR=$BUILD/bench/zl_bench_floor
PRESS=$BUILD/bench/zl_bench_press
SCALE=$BUILD/bench/zl_bench_scale
QTFLOOR=$BUILD/bench/zl_bench_qtfloor
SWAYPRESS=$BUILD/bench/zl_bench_swaypress
CLIENTFLOOR=$BUILD/bench/zl_bench_clientfloor
APP=$BUILD/src/zephyrlatch
TARGET=$BUILD/tests/actions/zl_paste_target
for f in "$REC" "$FLOOR" "$PRESS" "$SCALE" "$QTFLOOR" "$SWAYPRESS" "$CLIENTFLOOR" "$APP"; do
    [[ -x $f ]] || { echo "run.sh: $f is missing; build $BUILD first" >&2; exit 1; }
done

log() { printf '[bench %s] %s\n' "$(date +%T)" "$*" >&2; }

# ---- processes: every PID started here is recorded and stopped on exit
STARTED=()
running() { [[ -e /proc/$1 ]] && ! grep -q '^State:.*Z' "/proc/$1/status" 2>/dev/null; }
stop() {
    local pid=$1 i
    if running "$pid"; then
        kill -TERM "$pid" 2>/dev/null || true
        for ((i = 0; i < 30; i++)); do running "$pid" || break; sleep 0.1; done
        running "$pid" && kill -KILL "$pid" 2>/dev/null || true
    fi
    wait "$pid" 2>/dev/null || true
    local keep=() p
    for p in "${STARTED[@]}"; do [[ $p == "$pid" ]] || keep+=("$p"); done
    STARTED=("${keep[@]}")
}
WORK=$(mktemp -d "$([[ -w /dev/shm ]] && echo /dev/shm || echo /tmp)/zl-bench.XXXXXX")
cleanup() {
    local i
    for ((i = ${#STARTED[@]} - 1; i >= 0; i--)); do stop "${STARTED[i]}"; done
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$WORK/display" 2>"$WORK/xvfb.log" &
STARTED+=($!)
for _ in $(seq 200); do [[ -s $WORK/display ]] && break; sleep 0.025; done
[[ -s $WORK/display ]] || { cat "$WORK/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$WORK/display")"

kv() { local pair; for pair in $2; do [[ ${pair%%=*} == "$1" ]] && { printf '%s' "${pair#*=}"; return; }; done; printf NA; }
ms() { [[ $1 == NA ]] && printf NA || awk -v u="$1" 'BEGIN { printf "%.2f", u / 1000 }'; }
# utime + stime of PID itself in clock ticks (children not included)
cpu_ticks() { local f; read -r -a f <<<"$(sed 's/^.*) //' "/proc/$1/stat" 2>/dev/null)" || true; [[ ${#f[@]} -gt 12 ]] && echo $((f[11] + f[12])) || echo NA; }
CLK_TCK=$(getconf CLK_TCK)
status_kb() { awk -v k="$2:" '$1 == k { print $2 }' "/proc/$1/status" 2>/dev/null || echo NA; }
mib() { [[ $1 == NA ]] && printf NA || awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
# verdict VALUE OP LIMIT: PASS or MISS (MISS when either side is unknown)
verdict() {
    awk -v a="$1" -v op="$2" -v b="$3" 'BEGIN {
        if (a == "NA" || b == "NA") { print "MISS"; exit }
        ok = op == "<=" ? a + 0 <= b + 0 : a + 0 < b + 0; print ok ? "PASS" : "MISS" }'
}

echo "# Zephyrlatch benchmarks, $(date '+%F %T %Z')"
echo
echo "Machine: $(nproc) CPUs, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), kernel $(uname -r);" \
    "load average at start $(cut -d' ' -f1-3 /proc/loadavg)."
echo

# ---- 1. press to action
# Each daemon gets a home and config of its own, and runs its command with /bin/sh.
configure() { # name dir
    local name=$1 dir=$2 command="$REC $2/actions.log"
    case $name in
        sxhkd)
            mkdir -p "$dir/config/sxhkd"
            printf 'super + alt + shift + e\n\t%s\n' "$command" >"$dir/config/sxhkd/sxhkdrc" ;;
        xbindkeys)
            printf '"%s"\n    Mod4+Mod1+Shift + e\n' "$command" >"$dir/xbindkeysrc" ;;
        zephyrlatch)
            seed "$dir" runCommand "$command" ;;
    esac
}
# seed DIR ACTION PAYLOAD: one enabled shortcut on Super+Alt+Shift+E (stored key 14, mask 2816)
seed() {
    local escape='s/\\/\\\\/g; s/"/\\"/g' json
    json=$(printf '[{"id":"7C1D0E4B-2A3F-4C5D-9E8F-0A1B2C3D4E5F","name":"bench","isEnabled":true,"actionType":"%s","payload":"%s","keyCode":14,"modifiers":2816}]' \
        "$2" "$(sed "$escape" <<<"$3")")
    mkdir -p "$1/config/zephyrlatch"
    # The settings file keeps the list as a byte array in QSettings' INI form.
    printf '[General]\nshortcuts.v1="@ByteArray(%s)"\n' "$(sed "$escape" <<<"$json")" >"$1/config/zephyrlatch/zephyrlatch.conf"
}
command_of() { # name dir: sets CMD
    local rec="$REC $2/actions.log"
    case $1 in
        floor) CMD=("$FLOOR" -- "$REC" "$2/actions.log") ;;
        floor-sh) CMD=("$FLOOR" --shell -- "$REC" "$2/actions.log") ;;
        floor-sh-lc) CMD=("$FLOOR" --login-shell -- "$REC" "$2/actions.log") ;;
        qt-floor) CMD=("$QTFLOOR" "$rec") ;;
        sxhkd) CMD=(sxhkd -c "$2/config/sxhkd/sxhkdrc") ;;
        xbindkeys) CMD=(xbindkeys --nodaemon -f "$2/xbindkeysrc") ;;
        zephyrlatch) CMD=("$APP") ;;
    esac
}
launch() { # dir command...: prints the PID
    local dir=$1
    shift
    (
        cd "$dir"
        export HOME=$dir/home XDG_CONFIG_HOME=$dir/config XDG_RUNTIME_DIR=$dir/runtime SHELL=/bin/sh LANG=C.UTF-8
        unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS
        exec "$@" >>"$dir/daemon.log" 2>&1 </dev/null
    ) &
    STARTED+=($!)
    LAUNCHED=$!
}
# main_window [TITLE]: the visible window of that title (the main window by default), if any
main_window() { xdotool search --onlyvisible --name "^${1:-Zephyrlatch}\$" 2>/dev/null | tail -n1 || true; }
# The window may be mapped after the first hotkey fired: wait for it, then ask until it is gone, as
# Qt ignores a close request that comes before the window's first expose. Left open, it would have
# the focus and get every modifier press of the measurement.
close_main_window() {
    local window i
    for ((i = 0; i < 100; i++)); do
        [[ -n $(main_window "$@") ]] && break
        sleep 0.05
    done
    for ((i = 0; i < 40; i++)); do
        window=$(main_window "$@")
        [[ -z $window ]] && return 0
        "$PRESS" close --window "$window"
        sleep 0.25
    done
    return 1
}

RESULTS=$WORK/latency.tsv
READY_SPREAD=""
measure_daemon() { # name
    local name=$1 dir=$WORK/$1 attempt t0 pid="" ready=NA out main="" locks="" rss=NA anon=NA starts=0 state=ok cpu0 cpu=NA
    rm -rf "$dir"
    mkdir -p "$dir/home" "$dir/config" "$dir/runtime"
    chmod 700 "$dir/runtime"
    : >"$dir/actions.log"
    configure "$name" "$dir"
    command_of "$name" "$dir"
    # One start varies by tens of milliseconds: the figure is the median of STARTS starts, the last
    # of which stays for the rest. A start whose first presses leave the keyboard frozen is retried;
    # the count is reported.
    local run times=()
    for ((run = 1; run <= STARTS; run++)); do
        [[ -n $pid ]] && stop "$pid"
        pid=""
        for ((attempt = 1; attempt <= 3; attempt++)); do
            t0=$((${EPOCHREALTIME/./} * 1000))
            launch "$dir" "${CMD[@]}"
            pid=$LAUNCHED
            if out=$("$PRESS" ready --log "$dir/actions.log" --t0-ns "$t0" --pid "$pid" --timeout-ms 5000); then
                times+=("$(ms "$(kv ready_us "$out")")")
                break
            fi
            starts=$((starts + 1))
            stop "$pid"
            pid=""
        done
        [[ -z $pid ]] && break
    done
    ((${#times[@]})) && ready=$(printf '%s\n' "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
    READY_SPREAD+="$name: ${times[*]}; "
    if [[ -z $pid ]]; then
        state=not-ready
    else
        case $name in
            zephyrlatch) close_main_window || state=window-stayed ;;
            qt-floor) close_main_window "Zephyrlatch floor" || state=window-stayed ;;
        esac
        sleep 1
        rss=$(status_kb "$pid" VmRSS)
        anon=$(status_kb "$pid" RssAnon)
        cpu0=$(cpu_ticks "$pid")
        main=$("$PRESS" measure --log "$dir/actions.log" -n "$N" --gap-ms "$GAP_MS")
        cpu=$(awk -v a="$cpu0" -v b="$(cpu_ticks "$pid")" -v n="$N" -v hz="$CLK_TCK" \
            'BEGIN { if (a == "NA" || b == "NA") print "NA"; else printf "%.3f", (b - a) * 1000 / hz / n }')
        locks=$("$PRESS" measure --locks --log "$dir/actions.log" -n "$LOCK_N" --gap-ms "$GAP_MS")
        running "$pid" || state=died
        stop "$pid"
    fi
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$state" \
        "$(ms "$(kv median_us "$main")")" "$(ms "$(kv p90_us "$main")")" "$(ms "$(kv p99_us "$main")")" \
        "$(ms "$(kv max_us "$main")")" "$(kv lost "$main")" \
        "$(ms "$(kv median_us "$locks")")" "$(ms "$(kv p99_us "$locks")")" "$(kv lost "$locks")" \
        "$ready" "$rss" "$anon" "$starts" "$cpu" >>"$RESULTS"
}
col() { awk -F'\t' -v d="$1" -v c="$2" '$1 == d { print $c }' "$RESULTS"; }

if wants latency; then
    : >"$RESULTS"
    daemons=(floor floor-sh floor-sh-lc)
    for peer in sxhkd xbindkeys; do
        if command -v "$peer" >/dev/null; then daemons+=("$peer"); else log "$peer is not installed: no row"; fi
    done
    daemons+=(qt-floor zephyrlatch)
    cost=$("$PRESS" cost --rec "$REC" --log "$WORK/cost.log" -n 200)
    for d in "${daemons[@]}"; do
        log "$d: $N presses, then $LOCK_N with CapsLock and NumLock on (load $(cut -d' ' -f1 /proc/loadavg))"
        measure_daemon "$d"
    done
    echo "## Hotkey press to action"
    echo
    echo "Super+Alt+Shift+E on a private Xvfb; $N presses per program, one at a time, at least ${GAP_MS} ms apart;" \
        "each action runs the static recorder, which writes the time it started. Versions:" \
        "sxhkd $(dpkg-query -W -f='${Version}' sxhkd 2>/dev/null || echo -)," \
        "xbindkeys $(dpkg-query -W -f='${Version}' xbindkeys 2>/dev/null || echo -)," \
        "Xvfb $(dpkg-query -W -f='${Version}' xvfb 2>/dev/null || echo -)."
    echo
    echo "| program | median ms | p90 ms | p99 ms | max ms | lost | locks on: median ms | p99 ms | lost | start to first hotkey ms, median of $STARTS | idle VmRSS MiB | RssAnon MiB | CPU ms per press |"
    echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
    while IFS=$'\t' read -r name state med p90 p99 max lost lmed lp99 llost ready rss anon starts cpu; do
        note=""
        [[ $state != ok ]] && note=" ($state)"
        ((starts > 0)) && note+=" ($starts start(s) froze the keyboard)"
        printf '| %s%s | %s | %s | %s | %s | %s/%s | %s | %s | %s/%s | %s | %s | %s | %s |\n' "$name" "$note" "$med" "$p90" \
            "$p99" "$max" "$lost" "$N" "$lmed" "$lp99" "$llost" "$LOCK_N" "$ready" "$(mib "$rss")" "$(mib "$anon")" "$cpu"
    done <"$RESULTS"
    echo
    echo "Spawn cost inside every row (fork+exec to the recorder's clock reading, 200 runs):" \
        "$(while read -r line; do printf '%s %s ms; ' "$(kv spawn "$line")" "$(ms "$(kv median_us "$line")")"; done <<<"$cost")"
    echo
    echo "Start to first hotkey, every start in ms: $READY_SPREAD"
    echo
    z_med=$(col zephyrlatch 3) z_p99=$(col zephyrlatch 5)
    floor_sh=$(col floor-sh 3) sx_med=$(col sxhkd 3) sx_p99=$(col sxhkd 5)
    limit=$(awk -v f="${floor_sh:-NA}" 'BEGIN { if (f == "NA" || f == "") print "NA"; else printf "%.2f", f }')
    z_cpu=$(col zephyrlatch 15) sx_cpu=$(col sxhkd 15)
    cpu_limit=$(awk -v f="${sx_cpu:-NA}" 'BEGIN { if (f == "NA" || f == "") print "NA"; else printf "%.3f", f * 1.5 }')
    lost_all=$(awk -v a="$(col zephyrlatch 7)" -v b="$(col zephyrlatch 10)" 'BEGIN { print (a == "NA" || b == "NA") ? "NA" : a + b }')
    echo "| target | measured | limit | |"
    echo "|---|---:|---:|---|"
    echo "| median <= floor-sh median | $z_med | $limit | $(verdict "$z_med" "<=" "$limit") |"
    echo "| median < sxhkd median | $z_med | ${sx_med:-NA} | $(verdict "$z_med" "<" "${sx_med:-NA}") |"
    echo "| p99 <= sxhkd p99 | $z_p99 | ${sx_p99:-NA} | $(verdict "$z_p99" "<=" "${sx_p99:-NA}") |"
    echo "| presses lost, locks off and on | $lost_all | 0 | $(verdict "$lost_all" "<=" 0) |"
    echo "| start to first hotkey ms | $(col zephyrlatch 11) | 100 | $(verdict "$(col zephyrlatch 11)" "<=" 100) |"
    echo "| CPU ms per press <= 1.5 x sxhkd's | $z_cpu | $cpu_limit | $(verdict "$z_cpu" "<=" "$cpu_limit") |"
    echo "| idle VmRSS MiB, window closed | $(mib "$(col zephyrlatch 12)") | 40 | $(verdict "$(mib "$(col zephyrlatch 12)")" "<=" 40) |"
    echo "| idle RssAnon MiB, window closed | $(mib "$(col zephyrlatch 13)") | 12 | $(verdict "$(mib "$(col zephyrlatch 13)")" "<=" 12) |"
    echo
    # Commands of ours run through a login shell, which the floor-sh row does not pay for.
    lc=$(col floor-sh-lc 3)
    echo "Not a target: the same login shell (floor-sh-lc) gives a median of ${lc:-NA} ms;" \
        "zephyrlatch's is $(awk -v z="$z_med" -v f="${lc:-NA}" 'BEGIN { if (z == "NA" || f == "NA" || f == 0) print "NA"; else printf "%.2f", z / f }') times that."
    echo
fi

# ---- 1b. the same press under sway: its IPC, the trigger command, and sway's own exec as the floor
if wants sway; then
    echo "## Hotkey press to action under sway"
    echo
    if ! command -v sway >/dev/null; then
        echo "sway is not installed: no rows."
    else
        # sway refuses root: the rows run as nobody, in a folder that user owns.
        SWAYDIR=$(mktemp -d /tmp/zl-bench-sway.XXXXXX)
        chmod 755 "$SWAYDIR"
        mkdir -p "$SWAYDIR/bin" "$SWAYDIR/home" "$SWAYDIR/config"
        mkdir -m 700 "$SWAYDIR/runtime"
        cp "$APP" "$BUILD/src/zephyrlatch-gui.so" "$REC" "$SWAYPRESS" "$CLIENTFLOOR" "$(dirname "${BASH_SOURCE[0]}")/sway_bench.sh" "$SWAYDIR/bin/"
        seed "$SWAYDIR" runCommand "$SWAYDIR/bin/zl_bench_rec $SWAYDIR/z.log"
        as=()
        if (($(id -u) == 0)); then
            chown -R nobody:nogroup "$SWAYDIR"
            as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
        fi
        log "sway: $N presses per row (load $(cut -d' ' -f1 /proc/loadavg))"
        "${as[@]}" "$SWAYDIR/bin/sway_bench.sh" "$SWAYDIR" "$N" "$GAP_MS" >"$WORK/sway.tsv" &
        STARTED+=($!)
        wait $! || log "the sway rows failed: $(tail -n 5 "$SWAYDIR/sway.log" 2>/dev/null)"
        rm -rf "$SWAYDIR"
        swaycol() { awk -F'\t' -v d="$1" -v c="$2" '$1 == d { print $c }' "$WORK/sway.tsv"; }
        floor=$(swaycol sway-exec 3)
        ratio() { awk -v v="$1" -v f="${floor:-NA}" 'BEGIN { if (v == "NA" || v == "" || f == "NA" || f == "" || f == 0) print "NA"; else printf "%.2f", v / f }'; }
        echo "Headless sway $(dpkg-query -W -f='${Version}' sway 2>/dev/null || echo -), run as nobody;" \
            "Super+Alt+Shift+E/R/T pressed through a virtual keyboard, $N presses or runs per row, at least ${GAP_MS} ms apart." \
            "Press rows: modifiers down, clock, key down, to the recorder's start. Run rows: clock, posix_spawn, to the recorder's start."
        echo
        echo "| row | what runs | median ms | p90 ms | p99 ms | max ms | lost | median / sway-exec |"
        echo "|---|---|---:|---:|---:|---:|---:|---:|"
        while IFS=$'\t' read -r name state med p90 p99 max lost; do
            case $name in
                sway-exec) what="press; sway's own \`exec\` binding runs the recorder (through sh -c): the floor" ;;
                zephyrlatch-ipc) what="press; sway sends the \`nop\` binding event, zephyrlatch runs the command" ;;
                trigger-exec) what="press; sway's \`exec\` runs \`zephyrlatch --run ID\`, which asks the running instance" ;;
                trigger-direct) what="\`zephyrlatch --run ID\` started, to the action" ;;
                trigger-core-only) what="the same request from a client that loads only QtCore and QtNetwork" ;;
                start-sh-c) what="\`sh -c 'recorder'\` started, to the action" ;;
                start-exec) what="the recorder started, to its own clock reading" ;;
                *) what="" ;;
            esac
            note=""
            [[ $state != ok ]] && note=" ($state)"
            printf '| %s%s | %s | %s | %s | %s | %s | %s/%s | %s |\n' "$name" "$note" "$what" "$(ms "$med")" "$(ms "$p90")" \
                "$(ms "$p99")" "$(ms "$max")" "$lost" "$N" "$(ratio "$med")"
        done <"$WORK/sway.tsv"
        echo
        ipc=$(ms "$(swaycol zephyrlatch-ipc 3)") direct=$(ms "$(swaycol trigger-direct 3)")
        [[ -z $(swaycol zephyrlatch-ipc 3) ]] && ipc=NA
        [[ -z $(swaycol trigger-direct 3) ]] && direct=NA
        x11=NA
        [[ -s ${RESULTS:-} ]] && x11=$(col zephyrlatch 3)
        ipc_limit=$(awk -v x="${x11:-NA}" 'BEGIN { if (x == "NA" || x == "") print "NA"; else printf "%.2f", x * 1.5 }')
        echo "| target | measured | limit | |"
        echo "|---|---:|---:|---|"
        echo "| sway IPC median <= 1.5 x the X11 zephyrlatch median above | $ipc | $ipc_limit | $(verdict "$ipc" "<=" "$ipc_limit") |"
        echo "| trigger command, invocation to action, median ms | $direct | 15 | $(verdict "$direct" "<=" 15) |"
        echo
        core=$(swaycol trigger-core-only 3)
        echo "Not a target: a client that loads only QtCore and QtNetwork sends the same request with a median of" \
            "$(ms "${core:-NA}") ms; the program's launcher loads the same libraries and leaves the GUI module unloaded."
        echo
    fi
fi

# ---- 2. scale
if wants scale; then
    log "scale"
    echo "## Scale (in process)"
    echo
    mkdir -p "$WORK/scale-runtime"
    chmod 700 "$WORK/scale-runtime"
    XDG_RUNTIME_DIR=$WORK/scale-runtime QT_QPA_PLATFORM=xcb "$SCALE"
    echo
fi

# ---- 3. paste
summary() { # values...: "median max", or "NA NA"
    printf '%s\n' "$@" | sort -n | awk 'NF { v[++n] = $1 } END { if (n == 0) { print "NA NA"; exit }
        printf "%s %s\n", v[int((n + 1) / 2)], v[n] }'
}
if wants paste; then
    echo "## Paste"
    echo
    if [[ ! -x $TARGET ]]; then
        echo "No paste target at $TARGET (it is built with the tests)."
    else
        log "paste"
        dir=$WORK/paste
        mkdir -p "$dir/home" "$dir/config" "$dir/runtime"
        chmod 700 "$dir/runtime"
        text=zl-bench-paste
        seed "$dir" pasteText "$text"
        launch "$dir" "$APP"
        app=$LAUNCHED
        close_main_window || true
        : >"$dir/target.txt"
        # The target reads commands from a pipe that stays open until the end.
        mkfifo "$dir/target.in"
        launch "$dir" bash -c "exec \"$TARGET\" \"$dir/target.txt\" <\"$dir/target.in\""
        target=$LAUNCHED
        exec 7>"$dir/target.in"
        sleep 1.5
        printf 'hello' >"$dir/text-plain"
        printf '<b>Gr\xc3\xbc\xc3\x9fe</b>' >"$dir/text-html"
        base64 -d >"$dir/image-png" <<<'iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg=='
        echo "Each press pastes \"$text\" into a separate Qt text field while xclip holds the clipboard in one format;" \
            "text = press to the text in the field, restored = press to the clipboard holding the original bytes again."
        echo
        echo "| clipboard format (set by xclip) | presses | text median ms | text max ms | restored median ms | restored max ms | restored byte for byte |"
        echo "|---|---:|---:|---:|---:|---:|---:|"
        expect=""
        for type in text/plain text/html image/png; do
            file=$dir/${type/\//-}
            texts=() restores=() same=0 tries=10
            for ((i = 0; i < tries; i++)); do
                xclip -selection clipboard -t "$type" -i "$file" &
                STARTED+=($!)
                owner=$!
                for _ in $(seq 100); do
                    xclip -selection clipboard -o -t "$type" 2>/dev/null | cmp -s - "$file" && break
                    sleep 0.02
                done
                expect+=$text
                out=$("$PRESS" paste --out "$dir/target.txt" --expect "$expect" --type "$type" --original "$file") || true
                [[ $(kv text_us "$out") != NA* ]] && texts+=("$(ms "$(kv text_us "$out")")")
                [[ $(kv restored_us "$out") != NA* ]] && restores+=("$(ms "$(kv restored_us "$out")")")
                xclip -selection clipboard -o -t "$type" 2>/dev/null | cmp -s - "$file" && same=$((same + 1))
                stop "$owner"
                # A text that never arrived would shift every later expectation.
                [[ $(kv text_us "$out") == NA* ]] && expect=$(cat "$dir/target.txt")
            done
            read -r tmed tmax <<<"$(summary "${texts[@]}")"
            read -r rmed rmax <<<"$(summary "${restores[@]}")"
            echo "| $type | $tries | $tmed | $tmax | $rmed | $rmax | $same/$tries |"
        done
        exec 7>&-
        stop "$target"
        stop "$app"
    fi
    echo
fi
