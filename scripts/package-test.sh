#!/usr/bin/env bash
# Tests what users get: the installed tree and the Debian package, made from
# the plain build that scripts/test.sh has just built (no new build).
#   1. cmake --install into a temporary prefix; check the layout; build the
#      minimal host of docs/host-integration.md against it through pkg-config
#      and through find_package(Tonewell), run both and the installed tool.
#   2. cpack a Debian package; check its dependencies; install it with dpkg,
#      run the installed tool and a host built against the system copy,
#      remove it and check that nothing stayed.
# Everything runs on the virtual driver.
#
#   scripts/package-test.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
export TONEWELL_SOUND_DRIVER=virtual

work=$(mktemp -d /tmp/tonewell-package.XXXXXX)
installed_package=""
cleanup() {
  if [[ -n $installed_package ]]; then dpkg -P tonewell >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "package test: FAILED: $*" >&2
  exit 1
}
step() { echo "--- $* ---"; }
expect_output() {  # expect_output TEXT COMMAND...: runs it, fails unless its output holds TEXT
  local text=$1 out
  shift
  out=$("$@" 2>&1) || fail "$* exited with $?: $out"
  grep -qF -- "$text" <<<"$out" || fail "$* did not say '$text':"$'\n'"$out"
}

# The code blocks of the integration guide that follow a marker comment.
doc_block() {
  awk -v marker="<!-- $1 -->" '$0 == marker {found = 1; next}
    found && /^```/ {if (inside) exit; inside = 1; next}
    inside {print}' docs/host-integration.md
}

step "install into a temporary prefix"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
pc=$(find "$prefix" -name tonewell.pc)
[[ -n $pc ]] || fail "no tonewell.pc under $prefix"
libdir=$(dirname "$(dirname "$pc")")
for f in "$libdir/libtonewell.so.1" "$libdir/libtonewell.so" "$libdir/tonewell/libtonewell-sound.so" \
  "$libdir/tonewell/libtonewell-music.so" "$prefix/include/tonewell/tonewell.h" "$prefix/bin/tonewell" \
  "$libdir/cmake/Tonewell/TonewellConfig.cmake" "$prefix/share/man/man1/tonewell.1" \
  "$prefix/share/bash-completion/completions/tonewell" "$prefix/share/doc/tonewell/errors.md"; do
  [[ -e $f ]] || fail "$f is not installed"
done
readelf -d "$libdir/libtonewell.so.1" | grep -q 'SONAME.*\[libtonewell\.so\.1\]' || fail "the library's soname is not libtonewell.so.1"
[[ $(readlink "$libdir/libtonewell.so") == libtonewell.so.1 ]] || fail "libtonewell.so does not link to libtonewell.so.1"
bash -n "$prefix/share/bash-completion/completions/tonewell" || fail "the bash completion does not parse"
man -l "$prefix/share/man/man1/tonewell.1" >/dev/null 2>&1 || ! command -v man >/dev/null || fail "the manual page does not render"

step "the minimal host, built with pkg-config"
host_dir=$work/host
mkdir -p "$host_dir"
doc_block minimal-host.c >"$host_dir/minimal-host.c"
doc_block CMakeLists.txt >"$host_dir/CMakeLists.txt"
[[ -s $host_dir/minimal-host.c && -s $host_dir/CMakeLists.txt ]] || fail "docs/host-integration.md lost its code blocks"
export PKG_CONFIG_PATH=$libdir/pkgconfig
# shellcheck disable=SC2046
cc -std=c99 -Wall -Wextra -pedantic -Werror "$host_dir/minimal-host.c" -o "$host_dir/host-pc" -rdynamic \
  $(pkg-config --cflags --libs tonewell) -lm -Wl,-rpath,"$(pkg-config --variable=libdir tonewell)"
(cd "$host_dir" && expect_output "4410 frames written, 4410 read back" ./host-pc pc.wav)
expect_output "Output devices: 2" "$host_dir/host-pc" "$host_dir/pc.wav"

step "the minimal host, built with find_package(Tonewell)"
cmake -S "$host_dir" -B "$host_dir/build" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_RPATH="$libdir" >/dev/null
cmake --build "$host_dir/build" >/dev/null
expect_output "4410 frames written, 4410 read back" "$host_dir/build/minimal-host" "$host_dir/cmake.wav"

step "the installed tool"
expect_output "Virtual Output 1" "$prefix/bin/tonewell" devices
TONEWELL_VIRTUAL_TAP_DIR=$work expect_output "playing 440 Hz" "$prefix/bin/tonewell" tone -s 0.2
expect_output "Peak:      -6.02, -6.02 dBFS" "$prefix/bin/tonewell" info "$work/out-0.wav"
expect_output "TW_E_TIMEOUT" "$prefix/bin/tonewell" error 4822

step "the Debian package"
rm -rf "$build/packages"
# The modules are plugins without a soname: CPack says so, and that is right.
(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack could not make the package"; }
deb=$(find "$build/packages" -name 'tonewell_*.deb' | head -n 1)
[[ -n $deb ]] || fail "cpack made no package"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libasound2 libfluidsynth3 sf2-soundfont-gm; do
  grep -q "$dep" <<<"$depends" || fail "the package does not depend on $dep: $depends"
done
contents=$(dpkg-deb -c "$deb")
for f in /usr/bin/tonewell /usr/lib/libtonewell.so.1 /usr/lib/tonewell/libtonewell-sound.so \
  /usr/lib/tonewell/libtonewell-music.so /usr/include/tonewell/tonewell.h /usr/share/man/man1/tonewell.1; do
  grep -qF ".$f" <<<"$contents" || fail "the package lacks $f"
done
echo "$(basename "$deb"): Depends: $depends"

if [[ $(id -u) -ne 0 ]] || ! command -v dpkg >/dev/null; then
  echo "package test: not root: the package is built but not installed"
  exit 0
fi
if [[ $(dpkg-query -W -f='${Status}' tonewell 2>/dev/null) == *" installed" ]]; then
  fail "a tonewell package is installed already; remove it first (dpkg -r tonewell)"
fi
dpkg_retry() {  # another dpkg or apt may hold the lock for a while
  local out
  for _ in $(seq 60); do
    if out=$("$@" 2>&1); then return 0; fi
    grep -q "lock" <<<"$out" || { echo "$out" >&2; return 1; }
    sleep 5
  done
  echo "$out" >&2
  return 1
}
step "dpkg -i"
dpkg_retry dpkg -i "$deb" >/dev/null || fail "dpkg -i failed"
installed_package=yes
expect_output "tonewell 1." /usr/bin/tonewell --version
expect_output "Virtual Input 2" /usr/bin/tonewell devices -l
mkdir -p "$work/deb-tap"
TONEWELL_VIRTUAL_TAP_DIR=$work/deb-tap expect_output "playing 440 Hz" /usr/bin/tonewell tone -s 0.2
expect_output "Duration:" /usr/bin/tonewell info "$work/deb-tap/out-0.wav"
unset PKG_CONFIG_PATH
# shellcheck disable=SC2046
cc "$host_dir/minimal-host.c" -o "$host_dir/host-system" -rdynamic $(pkg-config --cflags --libs tonewell) -lm
expect_output "4410 frames written, 4410 read back" "$host_dir/host-system" "$work/system.wav"
step "dpkg -r"
dpkg_retry dpkg -r tonewell >/dev/null || fail "dpkg -r failed"
installed_package=""
for f in /usr/bin/tonewell /usr/include/tonewell /usr/lib/libtonewell.so.1 /usr/lib/tonewell; do
  [[ ! -e $f ]] || fail "$f is still there after dpkg -r"
done
# No record left behind either.
dpkg_retry dpkg -P tonewell >/dev/null || fail "dpkg -P failed"
echo "package test: passed"
