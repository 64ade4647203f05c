#!/usr/bin/env bash
# Builds the library and the command-line host, then runs it: lists the sound
# devices. Further arguments go to the tool (try: scripts/run.sh help).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target tonewell tonewell-sound tonewell-cli
if (($#)); then
  exec build/bin/tonewell "$@"
fi
exec build/bin/tonewell devices
