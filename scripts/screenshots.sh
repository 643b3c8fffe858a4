#!/usr/bin/env bash
# Renders the README's screenshots into docs/screenshots/ on a private Xvfb.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${1:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j2 --target zl_screenshots
tests/x11/with-xvfb.sh "$build/tools/zl_screenshots" docs/screenshots
ls docs/screenshots
