#!/usr/bin/env bash
# Zephyrlatch developer entry point.
#   ./build.sh run     install missing Debian packages, build, start the program
#   ./build.sh test    install missing Debian packages, build with -Werror, run every test,
#                      then build and run every test again under ASan + UBSan
#   ./build.sh bench   build optimised and print the benchmark tables
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

PACKAGES=(
    cmake g++ pkg-config make
    qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-qpa-plugins qt6-translations-l10n libqt6svg6
    libxcb1-dev libxcb-xtest0-dev libxcb-keysyms1-dev libxcb-xkb-dev libxkbcommon-dev libxkbcommon-x11-dev libglib2.0-dev libfontconfig-dev
    xvfb xdotool xclip x11-xkb-utils x11-utils xauth desktop-file-utils appstream dpkg-dev sxhkd xbindkeys
    dbus-daemon python3-dbus python3-gi python3-xlib
    libwayland-dev libwayland-bin qt6-wayland sway wl-clipboard wtype python3
    clang libclang-rt-14-dev
)
JOBS=${JOBS:-2}

log() { printf '[build] %s\n' "$*" >&2; }

ensure_packages() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return
    log "installing Debian packages: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

configure_and_build() { # dir, extra cmake args...; BUILD_TARGETS narrows the build (default: everything)
    local dir=$1; shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j"$JOBS" ${BUILD_TARGETS:+--target $BUILD_TARGETS}
}

run_tests() { # dir
    (cd "$1" && ctest --output-on-failure -j"$JOBS" --timeout 300)
}

case "${1:-}" in
run)
    ensure_packages
    # The program and what `cmake --install build` copies; the tests are built by ./build.sh test.
    BUILD_TARGETS="zephyrlatch zl_icon_pngs" configure_and_build build
    shift
    exec ./build/src/zephyrlatch "$@"
    ;;
test)
    ensure_packages
    log "build with warnings as errors"
    configure_and_build build-ci -DZL_WERROR=ON
    run_tests build-ci
    log "package"
    (cd build-ci && cpack -G DEB >/dev/null && ls ./*.deb)
    log "build and test under AddressSanitizer + UndefinedBehaviorSanitizer"
    configure_and_build build-asan -DZL_WERROR=ON -DZL_SANITIZE=ON
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_tests build-asan
    log "fuzz the stored-list decoder and the URL parser (clang, libFuzzer, ASan + UBSan)"
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DZL_WERROR=ON -DZL_SANITIZE=ON -DZL_FUZZ=ON >/dev/null
    cmake --build build-fuzz -j"$JOBS" --target fuzzers
    fuzz/run.sh build-fuzz "${FUZZ_SECONDS:-60}"
    log "test share (tests/ against src/)"
    scripts/test-share.sh
    log "all tests passed"
    ;;
bench)
    ensure_packages
    configure_and_build build-bench -DCMAKE_BUILD_TYPE=Release
    exec bench/run.sh build-bench
    ;;
*)
    echo "usage: $0 run|test|bench" >&2
    exit 2
    ;;
esac
