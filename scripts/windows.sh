#!/usr/bin/env bash
# The Windows stage: installs the mingw-w64 compilers and Wine, builds the
# DLLs and the Windows tests for x86_64, compiles the libraries for i686
# (this kernel cannot run 32-bit Windows programs), and runs the tests under
# Wine in a throw-away prefix. Prints how long each step took.
#   scripts/windows.sh [build root, default build-windows]
set -euo pipefail
cd "$(dirname "$0")/.."
root=${1:-build-windows}
export CCACHE_DIR=${CCACHE_DIR:-/work/.ccache} CCACHE_BASEDIR=$PWD
jobs=${TONEWELL_JOBS:-2}
# Test discovery runs the test programs while building, so the private Wine
# prefix serves the whole stage; it and its server go at the end.
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d /tmp/tonewell-wine.XXXXXX)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT

declare -a timings=()
step() {
  local name=$1
  shift
  local start=$SECONDS
  "$@"
  timings+=("$(printf '%-22s %4ds' "$name" $((SECONDS - start)))")
}

install() {
  TONEWELL_EXTRA_PACKAGES="g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 ccache" \
    scripts/install-deps.sh
}

configure() {
  local arch=$1 tests=$2
  cmake -S . -B "$root/$arch" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-$arch-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTONEWELL_BUILD_BENCH=OFF -DTONEWELL_BUILD_TESTS="$tests" \
    -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
}

build_x86_64() {
  configure x86_64 ON
  cmake --build "$root/x86_64" -j"$jobs" --target tonewell tonewell-sound tonewell-music platform_tests
}

compile_i686() {
  configure i686 OFF
  cmake --build "$root/i686" -j"$jobs" --target tonewell tonewell-sound tonewell-music
}

wine_prefix() { wineboot -i >/dev/null 2>&1; }

run_tests() { ctest --test-dir "$root/x86_64" -j"$jobs" --output-on-failure; }

step install install
step "wine prefix" wine_prefix
step "build x86_64" build_x86_64
step "compile i686" compile_i686
step "tests under Wine" run_tests
printf '%s\n' "${timings[@]}"
