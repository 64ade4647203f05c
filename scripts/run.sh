#!/usr/bin/env bash
# Builds the library and the tonewell tool, then shows them at work: lists
# the sound devices and plays a short tone. On a machine without a sound
# device it says why, and uses the virtual driver instead: its simulated
# output records what it plays, which `tonewell info` then describes.
# Arguments go to the tool instead (try: scripts/run.sh --help).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target tonewell tonewell-sound tonewell-music tonewell-cli
tool=build/bin/tonewell
if (($#)); then
  exec "$tool" "$@"
fi

echo
echo "== $("$tool" --version): the sound devices =="
heard=""
if [[ -z ${TONEWELL_SOUND_DRIVER:-} ]]; then
  # The tool says on standard error why the ALSA driver found nothing.
  read -r outputs _ < <("$tool" devices --count)
  if ((outputs == 0)); then
    echo
    echo "No real sound device was found, so this run uses the virtual driver:"
    echo "simulated devices on a clock of their own. What a virtual output plays"
    echo "is written to a WAV file, so the tone can be heard back from it."
    export TONEWELL_SOUND_DRIVER=virtual
    heard=build/demo
    rm -rf "$heard"
    mkdir -p "$heard"
    export TONEWELL_VIRTUAL_TAP_DIR=$PWD/$heard
  fi
fi
echo
"$tool" devices

echo
echo "== a tone of 440 Hz at -6 dBFS for one second, on output device 0 =="
"$tool" tone 440 --seconds 1 --amplitude 0.5
if [[ -n $heard ]]; then
  echo
  echo "== what the virtual output heard =="
  "$tool" info "$heard/out-0.wav"
  echo
  echo "(A sine of amplitude 0.5 peaks at -6.02 dBFS with an RMS 3.01 dB lower.)"
fi
