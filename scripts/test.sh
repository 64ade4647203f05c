#!/usr/bin/env bash
# Builds the library and runs the whole test suite: a plain build with the
# installed-tree and Debian package tests, then AddressSanitizer +
# UndefinedBehaviorSanitizer, a minute of each fuzzer, then ThreadSanitizer,
# then a minute of the stress host in the plain and the ThreadSanitizer build,
# then the Windows build with its tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1

build() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
}

# The ALSA driver's tests play into a private sound server with a null sink
# and capture its monitor through ALSA's default device. Each suite gets a
# new server, and they run one at a time: they hold real time against the
# wall clock.
sound_dir=""
start_sound_server() {
  sound_dir=$(mktemp -d /tmp/tonewell-sound.XXXXXX)
  local server_env
  if server_env=$(scripts/sound-server.sh start "$sound_dir"); then
    # From here a missing server fails the ALSA tests instead of skipping them.
    export "${server_env?}" TONEWELL_REQUIRE_SOUND_SERVER=1
  else
    echo "warning: no sound server could be started; the ALSA tests will fail under CI" >&2
  fi
}
stop_sound_server() {
  if [[ -n $sound_dir ]]; then
    scripts/sound-server.sh stop "$sound_dir"
    sound_dir=""
  fi
}
trap stop_sound_server EXIT

suite() {
  local dir=$1 name=$2 status=0
  echo "=== $name ==="
  (cd "$dir" && ctest -j"$jobs" --timeout 300 -LE 'sound-server|stress') || status=1
  echo "--- $name: the ALSA driver on a private sound server ---"
  start_sound_server
  if ! (cd "$dir" && ctest --timeout 300 -L sound-server); then
    if scripts/sound-server.sh check "$sound_dir"; then
      status=1
    else
      # The server itself ended under the tests (its last words are above):
      # the failed ones run once more, on a new server.
      echo "--- $name: the sound server ended; the failed ALSA tests again, on a new server ---"
      stop_sound_server
      start_sound_server
      (cd "$dir" && ctest --timeout 300 -L sound-server --rerun-failed) || status=1
    fi
  fi
  stop_sound_server
  return "$status"
}

build build
suite build "plain build"
# What users install: the installed tree and the Debian package, from the plain build.
bash scripts/package-test.sh build

build build-asan -DTONEWELL_ASAN=ON -DTONEWELL_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  suite build-asan "AddressSanitizer + UndefinedBehaviorSanitizer"

# Every parser of outside bytes under its fuzzer, a minute each.
echo "=== fuzzers (60 s each) ==="
scripts/fuzz.sh

build build-tsan -DTONEWELL_TSAN=ON -DTONEWELL_BUILD_BENCH=OFF
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" \
  suite build-tsan "ThreadSanitizer"

TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" scripts/stress.sh build build-tsan

echo "=== Windows: mingw-w64 build, tests under Wine ==="
scripts/windows.sh
