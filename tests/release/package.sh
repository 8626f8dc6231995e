#!/usr/bin/env bash
# package.sh: scripts/release --package with a maintainer's folder, made here from the sample halves.
#   good  Win32/ and Win64/ as the presets built them, the Win64 half with one more file that its
#         usbvcom.inf, saved as UTF-16LE, names below a disk path (amd64\extra.sys): the MSI is built, with
#         that folder, and SHA256SUMS checks; each placeholder catalog is named in a warning, but not
#         Win64's Halvex_mdm.cat and Halvex_adb.cat, signed structures made here (whose list osslsigncode
#         cannot read, so Halvex_adb.inf's co-installers are named as unchecked); with --strict (or FENWARR_RELEASE_STRICT=1)
#         the warnings stop the release; msiinfo made to show RemoveExistingProducts after InstallFiles:
#         the release stops, naming the rule, and writes nothing to its output folder;
#   bad   a co-installer in another case, a missing INF, a missing file an INF names (one INF in UTF-16LE),
#         an i386 co-installer in the Win64 half, the Win64 half named in another case: the release stops
#         before it builds anything, with one line naming each file, and writes no MSI.
# Needs the win32 and win64 presets built (77 when they are not).
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
fails=0
fail() {
  echo "FAIL: $*"
  fails=$((fails + 1))
}
for half in win32 win64; do
  [ -d "$src/build/$half/package" ] || { echo "SKIPPED: build/$half/package is not built"; exit 77; }
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# sample DIR: the two halves as the presets built them, and the extra file Win64's usbvcom.inf names.
sample() {
  mkdir -p "$1"
  cp -R "$src/build/win32/package" "$1/Win32"
  cp -R "$src/build/win64/package" "$1/Win64"
  mkdir "$1/Win64/amd64"
  printf 'stand-in\r\n' >"$1/Win64/amd64/extra.sys"
  printf '\r\n[SourceDisksNames.amd64]\r\n2 = "Disk",,,\\amd64\r\n\r\n[SourceDisksFiles.amd64]\r\nextra.sys = 2\r\n' \
    >>"$1/Win64/usbvcom.inf"
}

# utf16 INF: the INF saved as UTF-16LE with its byte order mark, as vendors' tools often write it.
utf16() {
  { printf '\377\376'; iconv -f UTF-8 -t UTF-16LE "$1"; } >"$1.u16"
  mv "$1.u16" "$1"
}

# --- good ---------------------------------------------------------------------------------

sample "$tmp/good"
utf16 "$tmp/good/Win64/usbvcom.inf"
# A signed catalog as far as its structure goes: a certificate trust list with one signer, self-signed.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$tmp/cat.key" -out "$tmp/cat.pem" -days 2 \
  -subj "/CN=Fenwarr test catalog" 2>/dev/null
printf 'list' | openssl cms -sign -binary -nodetach -outform DER -econtent_type 1.3.6.1.4.1.311.10.1 \
  -signer "$tmp/cat.pem" -inkey "$tmp/cat.key" -out "$tmp/good/Win64/Halvex_mdm.cat"
# Its list holds no file: osslsigncode cannot look up the co-installers Halvex_adb.inf names.
cp "$tmp/good/Win64/Halvex_mdm.cat" "$tmp/good/Win64/Halvex_adb.cat"
if "$src/scripts/release" --package "$tmp/good" --no-build --keep-work --out "$tmp/out-good" >"$tmp/good.log" 2>&1; then
  work=$(sed -n 's/^release: working folder kept: //p' "$tmp/good.log")
  grep -q '<Directory Id="Win64_[0-9]*_dir" Name="amd64">' "$work/halves.wxs" || fail "no amd64 folder in the Win64 half"
  grep -q 'Source="fenwarr/Win64/amd64/extra.sys"' "$work/halves.wxs" || fail "amd64/extra.sys is not packed"
  [ "$(grep -c '<Component ' "$work/halves.wxs")" = 33 ] || fail "not 16 + 17 components: $(grep -c '<Component ' "$work/halves.wxs")"
  (cd "$tmp/out-good" && sha256sum -c SHA256SUMS) || fail "SHA256SUMS does not check"
  grep -q "^release: msi-check: .*: this package's MSI rules hold" "$tmp/good.log" || fail "no msi-check line"
  rm -rf "$work"
else
  cat "$tmp/good.log"
  fail "the release of a complete package failed"
fi
[ "$(grep -c '^release: warning: .*\.cat: not a signed catalog (not PKCS#7); Windows refuses to stage ' "$tmp/good.log")" = 12 ] ||
  fail "not 12 placeholder catalogs named: $(grep -c '^release: warning: ' "$tmp/good.log")"
grep -qxF "release: warning: $tmp/good/Win64/Halvex_adb.cat: osslsigncode cannot read its list of hashes, so WdfCoInstaller01009.dll (named by Halvex_adb.inf) is unchecked" \
  "$tmp/good.log" || fail "the unreadable list of Win64/Halvex_adb.cat is not named"
grep -qxF "release: warning: $tmp/good/Win32/usbvcom.cat: not a signed catalog (not PKCS#7); Windows refuses to stage usbvcom.inf: the catalog is not valid" \
  "$tmp/good.log" || fail "the placeholder Win32/usbvcom.cat is not named"
! grep -q "Win64/Halvex_mdm.cat\|Win64/Halvex_adb.cat: not" "$tmp/good.log" || fail "the signed Win64/Halvex_mdm.cat is named"
# Each way of asking: "ENVIRONMENT ARGUMENT".
for strict in "FENWARR_RELEASE_STRICT=0 --strict" "FENWARR_RELEASE_STRICT=1 --no-build"; do
  if env "${strict% *}" "$src/scripts/release" "${strict#* }" --package "$tmp/good" --no-build --out "$tmp/out-strict" \
    >"$tmp/strict.log" 2>&1; then fail "$strict: the release of placeholder catalogs passed"; fi
  grep -qxF "release: 14 warning(s) in the package $tmp/good, which --strict does not ship; nothing was built" "$tmp/strict.log" ||
    { cat "$tmp/strict.log"; fail "$strict: no line that the warnings stopped the release"; }
  [ ! -e "$tmp/out-strict" ] || fail "$strict: the release wrote $tmp/out-strict"
done

mkdir "$tmp/shim"
printf '#!/bin/sh\n%s "$@" | sed "s/^RemoveExistingProducts\t\t1450/RemoveExistingProducts\t\t4002/"\n' \
  "$(command -v msiinfo)" >"$tmp/shim/msiinfo"
chmod +x "$tmp/shim/msiinfo"
PATH="$tmp/shim:$PATH" "$src/scripts/release" --package "$tmp/good" --no-build --out "$tmp/out-rules" >"$tmp/rules.log" 2>&1 &&
  fail "the release of an MSI that breaks a rule passed"
grep -q '^msi-check: older first: RemoveExistingProducts at 4002 ' "$tmp/rules.log" ||
  { cat "$tmp/rules.log"; fail "the broken rule is not named"; }
[ ! -e "$tmp/out-rules" ] || fail "the release wrote $tmp/out-rules"

# --- bad ----------------------------------------------------------------------------------

sample "$tmp/bad"
mv "$tmp/bad/Win32/WdfCoInstaller01009.dll" "$tmp/bad/Win32/wdfcoinstaller01009.dll"
rm "$tmp/bad/Win32/Halvex_ser.inf" "$tmp/bad/Win64/amd64/extra.sys"
sed -i 's/^CatalogFile = Halvex_mdm.cat/CatalogFile = Halvex_mdx.cat/' "$tmp/bad/Win64/Halvex_mdm.inf"
utf16 "$tmp/bad/Win64/Halvex_mdm.inf"
cp "$src/build/win32/package/WinUSBCoInstaller2.dll" "$tmp/bad/Win64/"
if "$src/scripts/release" --package "$tmp/bad" --out "$tmp/out-bad" >"$tmp/bad.log" 2>&1; then
  fail "the release of a broken package passed"
fi
cat "$tmp/bad.log"
for want in \
  "release: $tmp/bad/Win32/wdfcoinstaller01009.dll: misnamed, must be called WdfCoInstaller01009.dll (one of the two co-installers)" \
  "release: $tmp/bad/Win32/Halvex_ser.inf: missing (one of the seven INF files)" \
  "release: $tmp/bad/Win64/amd64/extra.sys: missing (named by usbvcom.inf)" \
  "release: $tmp/bad/Win64/Halvex_mdx.cat: missing (named by Halvex_mdm.inf)" \
  "release: $tmp/bad/Win64/WinUSBCoInstaller2.dll: a pei-i386 file; the Win64 half needs pei-x86-64 co-installers" \
  "release: 5 problem(s) in the package $tmp/bad; nothing was built"; do
  grep -qxF "$want" "$tmp/bad.log" || fail "no line: $want"
done
! grep -q 'building' "$tmp/bad.log" || fail "the release built something"
[ ! -e "$tmp/out-bad" ] || fail "the release wrote $tmp/out-bad"

mv "$tmp/bad/Win64" "$tmp/bad/win64"
"$src/scripts/release" --package "$tmp/bad" --out "$tmp/out-bad" >"$tmp/bad.log" 2>&1 || true
grep -qxF "release: $tmp/bad/win64: misnamed, must be called Win64" "$tmp/bad.log" ||
  { cat "$tmp/bad.log"; fail "the half named win64 is not reported"; }

[ "$fails" = 0 ] && echo "all checks passed" || echo "$fails check(s) failed"
[ "$fails" = 0 ]
