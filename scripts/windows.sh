#!/usr/bin/env bash
# The Windows stage: installs the mingw-w64 compilers and Wine, builds the
# DLLs and the Windows tests for x86_64, compiles the DLLs for i686 (this
# kernel cannot run 32-bit Windows programs), and runs the tests under Wine in
# a throw-away prefix: the platform layer's, then the DirectSound driver's
# against a private sound server. Prints how long each step took.
#   scripts/windows.sh [build root, default build-windows]
set -euo pipefail
cd "$(dirname "$0")/.."
root=${1:-build-windows}
jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1
# Test discovery runs the test programs while building, so the private Wine
# prefix serves the whole stage; it, its server and the sound server go at
# the end.
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d /tmp/tonewell-wine.XXXXXX)
sound_dir=$(mktemp -d /tmp/tonewell-wine-sound.XXXXXX)
cleanup() {
  scripts/sound-server.sh stop "$sound_dir" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$sound_dir"
}
trap cleanup EXIT

declare -a timings=()
step() {
  local name=$1
  shift
  local start=$SECONDS
  "$@"
  timings+=("$(printf '%-22s %4ds' "$name" $((SECONDS - start)))")
}

install() {
  TONEWELL_EXTRA_PACKAGES="g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64" \
    scripts/install-deps.sh
}

configure() {
  local arch=$1 tests=$2
  cmake -S . -B "$root/$arch" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-$arch-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTONEWELL_BUILD_BENCH=OFF -DTONEWELL_BUILD_TESTS="$tests" >/dev/null
}

build_x86_64() {
  configure x86_64 ON
  cmake --build "$root/x86_64" -j"$jobs"
}

compile_i686() {
  configure i686 OFF
  cmake --build "$root/i686" -j"$jobs" --target tonewell tonewell-sound tonewell-music
}

wine_prefix() { wineboot -i >/dev/null 2>&1; }

run_tests() {
  ctest --test-dir "$root/x86_64" -j"$jobs" -LE sound-server
  local server_env
  server_env=$(scripts/sound-server.sh start "$sound_dir")
  # One at a time: they hold sound against the wall clock, on one sink.
  env "$server_env" TONEWELL_REQUIRE_SOUND_SERVER=1 ctest --test-dir "$root/x86_64" -L sound-server
}

step install install
step "wine prefix" wine_prefix
step "build x86_64" build_x86_64
step "compile i686" compile_i686
step "tests under Wine" run_tests
printf '%s\n' "${timings[@]}"
