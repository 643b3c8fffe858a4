#!/usr/bin/env bash
# Prints the size of tests/ against src/ in code lines: non-blank lines that do not start with
# //, /*, * or # (so includes and shell comments do not count). Test scripts count with the tests.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

files() { # folder, extensions as a regular expression
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files -- "$1"
    else
        find "$1" -type f
    fi | grep -E "\\.($2)\$" || true
}
count() {
    tr '\n' '\0' | xargs -0 cat 2>/dev/null | grep -vE '^\s*$' | grep -cvE '^\s*(//|/\*|\*|#)' || true
}

src=$(files src 'cpp|h|hpp|cc|c' | count)
tests=$(files tests 'cpp|h|hpp|cc|c|py|sh' | count)
awk -v s="$src" -v t="$tests" 'BEGIN { printf "src/   %6d code lines\ntests/ %6d code lines\nratio  %6.2f\n", s, t, t / s }'
