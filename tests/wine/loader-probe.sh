#!/usr/bin/env bash
# loader-probe.sh: the one test of Wine's 32-bit loader that loader.sh and scripts/i386-emulation share,
# and the lines they print, against stub loaders and a binfmt_misc folder of plain files (no Wine, no
# machine-wide change):
#   1. a loader that runs, one the kernel refuses ("Exec format error"), a broken one, a missing one;
#   2. a broken loader gives the 64-bit-only mode naming its error, and i386-emulation registers nothing;
#   3. our handler, found disabled and running the cached emulator, is enabled again, and said so;
#   4. no printed line reaches 200 characters.
# Needs root, as scripts/i386-emulation does (77 otherwise).
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
[ "$(id -u)" = 0 ] || { echo "SKIPPED: scripts/i386-emulation needs root"; exit 77; }
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# A copy of the two scripts, so that i386-emulation's note lands in this folder, not in build/.
mkdir -p "$tmp/scripts" "$tmp/tests/wine" "$tmp/binfmt" "$tmp/cache/qemu-10.0.6"
cp "$src/scripts/i386-emulation" "$tmp/scripts/" && cp "$src/tests/wine/loader.sh" "$tmp/tests/wine/"
: >"$tmp/binfmt/register"
stub() { printf '#!/bin/sh\n%s\n' "$2" >"$tmp/$1" && chmod +x "$tmp/$1"; }
stub runs 'echo wine-8.0'
stub broken 'echo "wine: could not load ntdll.so: No such file"; exit 1'
stub cache/qemu-10.0.6/qemu-i386 'echo "qemu-i386 version 10.0.6 (Debian 1:10.0.6+ds-0+deb13u1)"'
printf '\0\0\0\0' >"$tmp/foreign" && chmod +x "$tmp/foreign"
unset FENWARR_WINE_NO_I386 FENWARR_WINE_NO_EMULATION
export FENWARR_BINFMT=$tmp/binfmt FENWARR_CACHE=$tmp/cache FENWARR_WINE_I386='' FENWARR_WINE_ASSUME_NO_IA32=0
# with LOADER CODE: CODE run with loader.sh sourced, its probes pointed at the stub LOADER.
with() { FENWARR_WINE32_LOADER=$tmp/$1 bash -c "source $tmp/tests/wine/loader.sh; $2"; }
# said TEXT OUT: OUT holds TEXT.
said() { grep -qF "$1" <<<"$2" || fail "no \"$1\" in: $2"; }

for want in "runs|runs " "foreign|no-ia32 " "absent|missing " "broken|broken wine: could not load ntdll.so: No such file"; do
  # shellcheck disable=SC2016 # expanded by the shell that sources loader.sh
  got=$(FENWARR_WINE_I386=no with "${want%%|*}" 'fw_wine32_start; echo "$FW_WINE32_START $FW_WINE32_ERROR"')
  [ "$got" = "${want#*|}" ] || fail "the loader ${want%%|*}: $got"
done
all=$(with broken fw_i386_line)
said "64-bit-only mode: Wine's 32-bit loader does not start here (wine: could not load ntdll.so" "$all"
out=$(with broken "$tmp/scripts/i386-emulation")
said "Wine's 32-bit loader fails, though not for want of 32-bit support (wine: could" "$out"
[ ! -s "$tmp/binfmt/register" ] || fail "a broken loader got a registration"
all+=$'\n'$out

printf 'disabled\ninterpreter %s\nflags: F\n' "$tmp/cache/qemu-10.0.6/qemu-i386" >"$tmp/binfmt/fenwarr-i386"
out=$(FENWARR_WINE_ASSUME_NO_IA32=1 with runs "$tmp/scripts/i386-emulation")
said "our handler fenwarr-i386 was disabled: enabled again" "$out"
said "with the cached QEMU 10.0.6" "$out"
[ "$(cat "$tmp/binfmt/fenwarr-i386")" = 1 ] || fail "the disabled handler was not enabled (echo 1)"
[ ! -s "$tmp/binfmt/register" ] || fail "the disabled handler was registered anew"
all+=$'\n'$out
[ -z "$(awk 'length($0) >= 200' <<<"$all")" ] || fail "lines of 200 characters or more: $all"

[ "$fails" = 0 ] || exit 1
echo "loader probe: all checks passed"
