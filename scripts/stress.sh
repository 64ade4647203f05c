#!/usr/bin/env bash
# The stress host in each build directory given (ctest label "stress"),
# a little over a minute a build: 60 s of 16 threads calling every export at random
# while the host runs its clean-up procedures, then 6 s of the input exports
# alone. A hang prints every thread's stack; any problem
# fails the stage with the lines marked "STRESS FAILURE".
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${TONEWELL_STRESS_SECONDS:-60}
status=0
for dir in "$@"; do
  echo "=== stress host, ${seconds} s: $dir ==="
  cmake --build "$dir" -j"$(nproc)" --target stress_host >/dev/null
  if ! TONEWELL_STRESS_SECONDS=$seconds ctest --test-dir "$dir" -L stress -V --timeout $((seconds + 240)); then
    echo "--- stress host FAILED in $dir (see the STRESS FAILURE lines above) ---"
    status=1
  fi
done
exit "$status"
