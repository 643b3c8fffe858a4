#!/usr/bin/env bash
# Runs every fuzz target for a bounded time, starting from the checked-in seeds.
#   fuzz/run.sh <build dir> [seconds per target, default 60]
# New inputs go to a scratch folder; a crash leaves its input in <build dir>/fuzz/artifacts.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "$1" && pwd)
seconds=${2:-60}
artifacts="$build/fuzz/artifacts"
mkdir -p "$artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for target in decode_list urls; do
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    echo "[fuzz] fuzz_$target for ${seconds}s" >&2
    "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -max_len=65536 \
        -print_final_stats=1 -artifact_prefix="$artifacts/$target-" "$work" "$here/corpus/$target" 2>"$work.log" || {
        tail -n 60 "$work.log" >&2
        echo "[fuzz] fuzz_$target failed; input kept in $artifacts" >&2
        exit 1
    }
    grep -E '^stat::number_of_executed_units|^Done' "$work.log" >&2 || true
    rm -rf "$work" "$work.log"
done
