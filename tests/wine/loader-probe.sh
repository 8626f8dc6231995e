#!/usr/bin/env bash
# loader-probe.sh: the one test of Wine's 32-bit loader that loader.sh and scripts/i386-emulation share,
# and the lines they print, against stub loaders and a binfmt_misc folder of plain files (no Wine, no
# machine-wide change):
#   1. a loader that runs, one the kernel refuses ("Exec format error"), a broken one, a missing one;
#   2. a broken loader gives the 64-bit-only mode naming its error, and i386-emulation registers nothing;
#   3. our handler, found disabled and running the cached emulator, is enabled again, and said so;
#   4. no printed line reaches 200 characters.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# A copy of the two scripts, so that i386-emulation's note lands in this folder, not in build/.
mkdir -p "$tmp/tree/scripts" "$tmp/tree/tests/wine" "$tmp/binfmt" "$tmp/cache/qemu-10.0.6"
cp "$src/scripts/i386-emulation" "$tmp/tree/scripts/"
cp "$src/tests/wine/loader.sh" "$tmp/tree/tests/wine/"
: >"$tmp/binfmt/register"
stub() { printf '#!/bin/sh\n%s\n' "$2" >"$tmp/$1" && chmod +x "$tmp/$1"; }
stub runs 'echo wine-8.0'
stub broken 'echo "wine: could not load ntdll.so: No such file"; exit 1'
stub cache/qemu-10.0.6/qemu-i386 'echo "qemu-i386 version 10.0.6 (Debian 1:10.0.6+ds-0+deb13u1)"'
printf '\0\0\0\0' >"$tmp/foreign" && chmod +x "$tmp/foreign"
unset FENWARR_WINE_NO_I386 FENWARR_WINE_NO_EMULATION
export FENWARR_BINFMT=$tmp/binfmt FENWARR_CACHE=$tmp/cache FENWARR_WINE_I386='' FENWARR_WINE_ASSUME_NO_IA32=0

# start LOADER: what fw_wine32_start makes of it, and its error.
start() {
  FENWARR_WINE32_LOADER=$tmp/$1 FENWARR_WINE_I386=no bash -c \
    'source "$1"; fw_wine32_start || true; echo "$FW_WINE32_START $FW_WINE32_ERROR"' _ "$tmp/tree/tests/wine/loader.sh"
}
[ "$(start runs)" = "runs " ] || fail "a loader that runs: $(start runs)"
[ "$(start foreign)" = "no-ia32 " ] || fail "a loader the kernel refuses: $(start foreign)"
[ "$(start broken)" = "broken wine: could not load ntdll.so: No such file" ] || fail "a broken loader: $(start broken)"
[ "$(start absent)" = "missing " ] || fail "a missing loader: $(start absent)"

out=$(FENWARR_WINE32_LOADER=$tmp/broken bash -c 'source "$1"; fw_i386_line' _ "$tmp/tree/tests/wine/loader.sh")
grep -qF "64-bit-only mode: Wine's 32-bit loader does not start here (wine: could not load ntdll.so" <<<"$out" ||
  fail "the mode line of a broken loader: $out"
all=$out
if [ "$(id -u)" = 0 ]; then
  out=$(FENWARR_WINE32_LOADER=$tmp/broken "$tmp/tree/scripts/i386-emulation")
  grep -qF "32-bit programs: Wine's 32-bit loader fails, though not for want of 32-bit support (wine: could" <<<"$out" ||
    fail "i386-emulation with a broken loader: $out"
  [ ! -s "$tmp/binfmt/register" ] || fail "a broken loader got a registration: $(cat "$tmp/binfmt/register")"
  all+=$'\n'$out

  printf 'disabled\ninterpreter %s\nflags: F\n' "$tmp/cache/qemu-10.0.6/qemu-i386" >"$tmp/binfmt/fenwarr-i386"
  out=$(FENWARR_WINE32_LOADER=$tmp/runs FENWARR_WINE_ASSUME_NO_IA32=1 "$tmp/tree/scripts/i386-emulation")
  for said in "our handler fenwarr-i386 was disabled: enabled again" "with the cached QEMU 10.0.6"; do
    grep -qF "$said" <<<"$out" || fail "i386-emulation with our handler disabled, no \"$said\": $out"
  done
  [ "$(cat "$tmp/binfmt/fenwarr-i386")" = 1 ] || fail "the disabled handler was not enabled (echo 1)"
  [ ! -s "$tmp/binfmt/register" ] || fail "the disabled handler was registered anew"
  all+=$'\n'$out
else
  echo "not root: i386-emulation's lines are not tried"
fi
long=$(awk 'length($0) >= 200' <<<"$all")
[ -z "$long" ] || fail "lines of 200 characters or more: $long"

[ "$fails" = 0 ] || exit 1
echo "loader probe: all checks passed"
