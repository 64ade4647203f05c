#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, build-fuzz/) and runs each on its
# seed corpus and dictionary, all at once, printing libFuzzer's final
# figures. Fails when a harness finds a crash, a leak or a hang; what it found
# is left in build-fuzz/artifacts/.
#
#   FUZZ_SECONDS  run time of each harness (default 60)
#   FUZZ_RUNS     stop each after this many executions instead (0: no limit)
#   FUZZ_PARALLEL harnesses run at once (default all: the stage then takes
#                 about 100 s of building and one run time on two cores)
#   FUZZ_NICE     niceness of the runs (default 0)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
runs=${FUZZ_RUNS:-0}
parallel=${FUZZ_PARALLEL:-3}
niceness=${FUZZ_NICE:-0}
dir=build-fuzz

# Optimised lightly and with line tables only: cheaper to build than a
# release build with full debug information, and the stacks keep their lines.
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Fuzz -DTONEWELL_FUZZ=ON \
  -DCMAKE_C_FLAGS_FUZZ="-O1 -gline-tables-only" -DCMAKE_CXX_FLAGS_FUZZ="-O1 -gline-tables-only" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTONEWELL_BUILD_TESTS=OFF -DTONEWELL_BUILD_BENCH=OFF >/dev/null
# name, seed corpus and dictionary, longest input
harnesses=("fuzz_wav_reader wav_reader wav 8192" "fuzz_host_shapes host_shapes shapes 1024")
if [[ $(cmake --build "$dir" --target help) == *fuzz_music_loader* ]]; then
  harnesses+=("fuzz_music_loader music_loader music 16384")
else
  echo "warning: the music engine is not built (no libfluidsynth): its fuzzer does not run" >&2
fi
targets=()
for h in "${harnesses[@]}"; do targets+=("${h%% *}"); done
cmake --build "$dir" -j"$(nproc)" --target "${targets[@]}"

mkdir -p "$dir/artifacts"
# The harnesses write a scratch file for every input: in memory when it can be.
scratch=$(mktemp -d "$( [[ -d /dev/shm && -w /dev/shm ]] && echo /dev/shm || echo "$PWD/$dir")/tonewell-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# A smaller quarantine than the default keeps fresh pages (and their faults)
# from dominating the run time; freed blocks still wait before reuse.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16}
# Runs one harness; its output goes to build-fuzz/<name>.log.
fuzz() {
  local name=$1 seeds=$2 dict=$3 maxlen=$4
  local args=(-max_total_time="$seconds" -runs="$((runs > 0 ? runs : -1))" -max_len="$maxlen" -timeout=10
              -print_final_stats=1 -artifact_prefix="$dir/artifacts/$name-")
  [[ $dict != - ]] && args+=(-dict="fuzz/dict/$dict.dict")
  ((runs > 0)) && args[0]=-max_total_time=0
  mkdir -p "$dir/corpus/$seeds"
  # New inputs go into the build's corpus; the seeds in the tree stay as they are.
  TMPDIR=$scratch nice -n "$niceness" "$dir/lib/$name" "${args[@]}" "$dir/corpus/$seeds" "fuzz/corpus/$seeds" \
    >"$dir/$name.log" 2>&1
}

status=0
report() {
  local name=$1 rc=$2
  echo "--- $name ---"
  # The final coverage line and the stat:: lines libFuzzer prints at exit.
  grep -E '^#[0-9]+[[:space:]]+DONE|^stat::' "$dir/$name.log" || true
  if [[ $rc -ne 0 ]]; then
    echo "$name failed (exit $rc); the end of its output:"
    tail -n 80 "$dir/$name.log"
    status=1
  fi
}

pending=("${harnesses[@]}")
while ((${#pending[@]})); do
  batch=("${pending[@]:0:parallel}")
  pending=("${pending[@]:parallel}")
  pids=()
  for h in "${batch[@]}"; do
    read -r -a spec <<<"$h"
    fuzz "${spec[@]}" &
    pids+=($!)
  done
  for i in "${!batch[@]}"; do
    rc=0
    wait "${pids[$i]}" || rc=$?
    report "${batch[$i]%% *}" "$rc"
  done
done
exit "$status"
