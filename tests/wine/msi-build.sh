#!/usr/bin/env bash
# msi-build.sh OUT: the installers the MSI scenarios (msi.sh) run, from what the win32 and win64 presets
# built (the CTest fixture wine-msi):
#   OUT/FenwarrDriverPackage-<version>.msi  scripts/release --no-build: the sample package, unsigned
#   OUT/FenwarrDriverPackage-rebuilt.msi    the same version built once more (another package code)
#   OUT/FenwarrDriverPackage-next.msi       the same files and source as the next version (build number
#                                           + 1), to prove that a newer version replaces an older one
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: msi-build.sh OUT" >&2; exit 2; }
src=$(cd "$(dirname "$0")/../.." && pwd)
out=$1
# The sample package ships placeholder catalogs: a maintainer's --strict must not reach this build.
unset FENWARR_SIGN_PFX FENWARR_SIGN_PASSWORD FENWARR_RELEASE_STRICT
log=$("$src/scripts/release" --no-build --keep-work --out "$out")
printf '%s\n' "$log"
work=$(sed -n 's/^release: working folder kept: //p' <<<"$log")
version=$(sed -n 's/^release: .*, version \([0-9.]*\), unsigned)$/\1/p' <<<"$log")
if [ ! -d "$work" ] || [ -z "$version" ]; then
  echo "msi-build: scripts/release named no version or working folder" >&2
  exit 1
fi
trap 'rm -rf "$work"' EXIT
# The rebuild in a folder of its own: a release clears the older MSIs of its folder.
"$src/scripts/release" --no-build --out "$out/rebuilt"
mv "$out"/rebuilt/FenwarrDriverPackage-*.msi "$out/FenwarrDriverPackage-rebuilt.msi"
rm -rf "$out/rebuilt"
IFS=. read -r major minor build <<<"$version"
next="$major.$minor.$((build + 1))"
# A product of its own, as every version is (any UUID will do for the test).
code=$(tr 'a-f' 'A-F' </proc/sys/kernel/random/uuid)
(cd "$work" && wixl --arch x86 -D "Version=$next" -D "ProductCode={$code}" -o "$out/FenwarrDriverPackage-next.msi" \
  FenwarrDriverPackage.wxs halves.wxs && "$src/scripts/msi-fix" FenwarrDriverPackage.wxs "$out/FenwarrDriverPackage-next.msi")
echo "msi-build: $out/FenwarrDriverPackage-next.msi (version $next)"
