#!/usr/bin/env bash
# Prints the size of tests/ against src/ in code lines: non-blank lines that are not comments.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

count() { # folder
    find "$1" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 |
        xargs -0 cat |
        awk '
            /^[[:space:]]*$/ { next }
            incomment { if ($0 ~ /\*\//) incomment = 0; next }
            /^[[:space:]]*\/\*/ { if ($0 !~ /\*\//) incomment = 1; next }
            /^[[:space:]]*(\/\/|\*)/ { next }
            { n++ }
            END { print n + 0 }'
}

src=$(count src)
tests=$(count tests)
awk -v s="$src" -v t="$tests" 'BEGIN { printf "src/   %6d code lines (C++)\ntests/ %6d code lines (C++)\nratio  %6.2f\n", s, t, t / s }'
