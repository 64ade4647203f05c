#!/usr/bin/env bash
# Starts or stops a private PulseAudio server for the tests: one null sink
# (its monitor is the capture device), reached through a socket in DIR.
# ALSA's default device goes to it when PULSE_SERVER names that socket.
#
#   scripts/sound-server.sh start DIR   # prints PULSE_SERVER=unix:DIR/sock
#   scripts/sound-server.sh stop DIR
set -euo pipefail

usage() {
  echo "usage: $0 start|stop DIR" >&2
  exit 2
}
(($# == 2)) || usage
action=$1
dir=$2
sock="$dir/sock"
pidfile="$dir/pulse/pid"

start() {
  command -v pulseaudio >/dev/null || { echo "sound-server: pulseaudio is not installed" >&2; return 1; }
  mkdir -p "$dir"
  chmod 700 "$dir"
  # norewinds: without it the server holds the play cursor back and starts
  # capture late.
  XDG_RUNTIME_DIR="$dir" pulseaudio -n --daemonize=yes --exit-idle-time=-1 --disallow-exit \
    --log-target=file:"$dir/server.log" \
    -L "module-null-sink sink_name=tw_null norewinds=1 rate=44100 channels=2" \
    -L "module-native-protocol-unix socket=$sock auth-anonymous=1" 2>>"$dir/start.log" || {
    echo "sound-server: pulseaudio did not start (see $dir/start.log)" >&2
    return 1
  }
  for _ in $(seq 50); do
    if [[ -S $sock ]] && PULSE_SERVER="unix:$sock" pactl info >/dev/null 2>&1; then
      echo "PULSE_SERVER=unix:$sock"
      return 0
    fi
    sleep 0.1
  done
  echo "sound-server: no answer on $sock" >&2
  return 1
}

stop() {
  [[ -f $pidfile ]] || return 0
  local pid
  pid=$(<"$pidfile")
  kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
}

case $action in
  start) start ;;
  stop) stop ;;
  *) usage ;;
esac
