#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine (as root).
# Asks apt only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  libsndfile1-dev sox
  libfluidsynth-dev timgm6mb-soundfont
  libcli11-dev
  alsa-utils libasound2-dev libasound2-plugins pulseaudio
  gdb
)
if [[ -n "${TONEWELL_EXTRA_PACKAGES:-}" ]]; then
  read -r -a extra <<<"$TONEWELL_EXTRA_PACKAGES"
  packages+=("${extra[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
