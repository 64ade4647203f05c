#!/usr/bin/env bash
# Starts, checks or stops a private PulseAudio server for the tests: one null
# sink (its monitor is the capture device), reached through a socket in DIR.
# ALSA's default device goes to it when PULSE_SERVER names that socket.
#
#   scripts/sound-server.sh start DIR   # prints PULSE_SERVER=unix:DIR/sock
#   scripts/sound-server.sh check DIR   # fails, with the server's last words, if it has ended
#   scripts/sound-server.sh stop DIR
set -euo pipefail

usage() {
  echo "usage: $0 start|check|stop DIR" >&2
  exit 2
}
(($# == 2)) || usage
action=$1
dir=$2
sock="$dir/sock"
pidfile="$dir/server.pid"
statusfile="$dir/exit-status"

start() {
  command -v pulseaudio >/dev/null || { echo "sound-server: pulseaudio is not installed" >&2; return 1; }
  mkdir -p "$dir"
  chmod 700 "$dir"
  rm -f "$statusfile"
  # The server runs in the foreground of a background shell, so its end is
  # recorded with the status (128+N for signal N) even when it is killed.
  # Ordinary scheduling: a real-time thread past its time limit (200 ms of
  # CPU without sleeping, easily reached on a loaded virtual machine) is
  # killed without a word. No shared memory: every block goes through the
  # socket, which sidesteps the server's memfd bookkeeping.
  # norewinds: without it the server holds the play cursor back and starts
  # capture late.
  (
    XDG_RUNTIME_DIR="$dir" pulseaudio -n --daemonize=no --use-pid-file=no \
      --realtime=no --high-priority=no --no-cpu-limit=yes --disable-shm=yes \
      --exit-idle-time=-1 --disallow-exit --log-target=file:"$dir/server.log" \
      -L "module-null-sink sink_name=tw_null norewinds=1 rate=44100 channels=2" \
      -L "module-native-protocol-unix socket=$sock auth-anonymous=1" &
    echo $! >"$pidfile"
    status=0
    wait $! || status=$?
    echo "$status" >"$statusfile"
  ) </dev/null >>"$dir/start.log" 2>&1 &
  for _ in $(seq 100); do
    if [[ -S $sock ]] && PULSE_SERVER="unix:$sock" pactl info >/dev/null 2>&1; then
      echo "PULSE_SERVER=unix:$sock"
      return 0
    fi
    [[ -f $statusfile ]] && break
    sleep 0.1
  done
  echo "sound-server: no answer on $sock" >&2
  last_words >&2
  return 1
}

last_words() {
  if [[ -f $statusfile ]]; then
    local status
    status=$(<"$statusfile")
    if ((status > 128)); then
      echo "sound-server: the server was ended by signal $((status - 128))"
    else
      echo "sound-server: the server exited with status $status"
    fi
  fi
  tail -n 20 "$dir/start.log" "$dir/server.log" 2>/dev/null || true
}

check() {
  if [[ -f $pidfile ]] && kill -0 "$(<"$pidfile")" 2>/dev/null && [[ ! -f $statusfile ]]; then
    return 0
  fi
  echo "sound-server: the server in $dir is no longer running" >&2
  last_words >&2
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
  check) check ;;
  stop) stop ;;
  *) usage ;;
esac
