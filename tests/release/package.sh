#!/usr/bin/env bash
# package.sh: scripts/release --package with a maintainer's folder, made here from the sample halves.
#   good  Win32/ and Win64/ as the presets built them, the Win64 half with one more file that its
#         usbvcom.inf, saved as UTF-16LE, names below a disk path (amd64\extra.sys): the MSI is built, with
#         that folder, and SHA256SUMS checks; each placeholder catalog is named in a warning, but not
#         Win64's Halvex_mdm.cat and Halvex_adb.cat, catalogs made here by scripts/catalog; with --strict (or
#         FENWARR_RELEASE_STRICT=1) the warnings stop the release; msiinfo made to show RemoveExistingProducts
#         after InstallFiles: the release stops, naming the rule, and writes nothing to its output folder;
#   catalogs  every INF of both halves in a test-signed catalog of its own with the files it installs
#         (SHA-256 in Win32, SHA-1 in Win64), released with --strict, then the rows below: one change each
#         and the lines it must print; the hashes looked for are sha1sum's and osslsigncode's;
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
  cp "$1/Win64/WdfCoInstaller01009.dll" "$1/Win64/amd64/extra.sys"
  printf '\r\n[SourceDisksNames.amd64]\r\n2 = "Disk",,,\\amd64\r\n\r\n[SourceDisksFiles.amd64]\r\nextra.sys = 2\r\n' \
    >>"$1/Win64/usbvcom.inf"
}

# utf16 INF: the INF saved as UTF-16LE with its byte order mark, as vendors' tools often write it.
utf16() {
  { printf '\377\376'; iconv -f UTF-8 -t UTF-16LE "$1"; } >"$1.u16"
  mv "$1.u16" "$1"
}

# catalog [--sha1|--sha256] OUT.cat FILE...: scripts/catalog make, signed with a throwaway certificate.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$tmp/cat.key" -out "$tmp/cat.pem" -days 2 \
  -subj "/CN=Fenwarr test catalog" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
openssl pkcs12 -export -inkey "$tmp/cat.key" -in "$tmp/cat.pem" -out "$tmp/cat.pfx" -passout pass:test
catalog() { FENWARR_SIGN_PFX="$tmp/cat.pfx" FENWARR_SIGN_PASSWORD=test "$src/scripts/catalog" make "$@" >/dev/null; }

# --- good ---------------------------------------------------------------------------------

sample "$tmp/good"
utf16 "$tmp/good/Win64/usbvcom.inf"
(cd "$tmp/good/Win64" && catalog Halvex_mdm.cat Halvex_mdm.inf && catalog Halvex_adb.cat Halvex_adb.inf ./*.dll)
if "$src/scripts/release" --package "$tmp/good" --no-build --keep-work --out "$tmp/out-good" >"$tmp/good.log" 2>&1; then
  work=$(sed -n 's/^release: working folder kept: //p' "$tmp/good.log")
  grep -q '<Directory Id="Win64_[0-9]*_dir" Name="amd64">' "$work/halves.wxs" || fail "no amd64 folder in the Win64 half"
  grep -q 'Source="fenwarr/Win64/amd64/extra.sys"' "$work/halves.wxs" || fail "amd64/extra.sys is not packed"
  [ "$(grep -c '<Component ' "$work/halves.wxs")" = 33 ] || fail "not 16 + 17 components: $(grep -c '<Component ' "$work/halves.wxs")"
  (cd "$tmp/out-good" && sha256sum -c SHA256SUMS) || fail "SHA256SUMS does not check"
  grep -q "^release: msi-check: .*: all [0-9]* rules of this package's MSI hold" "$tmp/good.log" || fail "no msi-check line"
  grep -qxF "release: Halvex_adb.cat (Win64): test-signed: test mode only" "$tmp/good.log" || fail "no verdict on Halvex_adb.cat"
  # The test signer's certificate beside the MSI, in SHA256SUMS, the one the catalogs were signed with.
  cer=$(find "$tmp/out-good" -name 'signer-*.cer')
  if [ "$(openssl x509 -inform DER -in "$cer" -noout -fingerprint -sha1 | tr -d :)" != "sha1 Fingerprint=$(basename "$cer" .cer | cut -d- -f2)" ] ||
    ! grep -q " ${cer##*/}$" "$tmp/out-good/SHA256SUMS"; then fail "no signer's certificate in SHA256SUMS: '$cer'"; fi
  rm -rf "$work"
else
  cat "$tmp/good.log"
  fail "the release of a complete package failed"
fi
[ "$(grep -c '^release: warning: .*\.cat: not a signed catalog (not PKCS#7); Windows refuses to stage ' "$tmp/good.log")" = 12 ] ||
  fail "not 12 placeholder catalogs named: $(grep -c '^release: warning: ' "$tmp/good.log")"
grep -qxF "release: warning: $tmp/good/Win32/usbvcom.cat: not a signed catalog (not PKCS#7); Windows refuses to stage usbvcom.inf: the catalog is not valid" \
  "$tmp/good.log" || fail "the placeholder Win32/usbvcom.cat is not named"
! grep -q "Win64/Halvex_mdm\|Win64/Halvex_adb\|Win64/W.*dll" "$tmp/good.log" || fail "a file in a signed Win64 catalog is named"
# Each way of asking: "ENVIRONMENT ARGUMENT".
for strict in "FENWARR_RELEASE_STRICT=0 --strict" "FENWARR_RELEASE_STRICT=1 --no-build"; do
  if env "${strict% *}" "$src/scripts/release" "${strict#* }" --package "$tmp/good" --no-build --out "$tmp/out-strict" \
    >"$tmp/strict.log" 2>&1; then fail "$strict: the release of placeholder catalogs passed"; fi
  grep -qxF "release: 12 warning(s) in the package $tmp/good, which --strict does not ship; nothing was built" "$tmp/strict.log" ||
    { cat "$tmp/strict.log"; fail "$strict: no line that the warnings stopped the release"; }
  [ ! -e "$tmp/out-strict" ] || fail "$strict: the release wrote $tmp/out-strict"
done

mkdir "$tmp/shim"
printf '#!/bin/sh\n%s "$@" | sed "s/^RemoveExistingProducts\t\t1501/RemoveExistingProducts\t\t4002/"\n' \
  "$(command -v msiinfo)" >"$tmp/shim/msiinfo"
chmod +x "$tmp/shim/msiinfo"
PATH="$tmp/shim:$PATH" "$src/scripts/release" --package "$tmp/good" --no-build --out "$tmp/out-rules" >"$tmp/rules.log" 2>&1 &&
  fail "the release of an MSI that breaks a rule passed"
grep -q '^msi-check: removal in transaction: InstallFiles at 4000 comes before RemoveExistingProducts at 4002' "$tmp/rules.log" ||
  { cat "$tmp/rules.log"; fail "the broken rule is not named"; }
[ ! -e "$tmp/out-rules" ] || fail "the release wrote $tmp/out-rules"

# --- catalogs -----------------------------------------------------------------------------

sample "$tmp/signed"
for half in Win32:--sha256 Win64:--sha1; do
  (cd "$tmp/signed/${half%:*}" && for inf in *.inf; do catalog "${half#*:}" "${inf%.inf}.cat" "$inf"; done &&
    catalog "${half#*:}" Halvex_adb.cat Halvex_adb.inf ./*.dll)
done
(cd "$tmp/signed/Win64" && catalog usbvcom.cat usbvcom.inf amd64/extra.sys)
# osslsigncode, which hashes PE files its own way, finds the co-installers in the catalogs made here, and
# scripts/catalog hashes a signed PE file as osslsigncode does (its certificates left out).
for f in "$tmp/signed"/Win*/W*.dll; do
  { osslsigncode verify -in "$f" -catalog "${f%/*}/Halvex_adb.cat" 2>&1 || true; } | grep -q '^File is signed in catalog' ||
    fail "osslsigncode does not find $f in its catalog"
done
osslsigncode sign -pkcs12 "$tmp/cat.pfx" -pass test -h sha1 -in "$f" -out "$tmp/signed.dll" >/dev/null
{ osslsigncode verify -in "$tmp/signed.dll" 2>&1 || true; } | grep -q "^Current message digest *: $("$src/scripts/catalog" hash "$tmp/signed.dll" | cut -d' ' -f1)" ||
  fail "scripts/catalog hashes a signed PE file otherwise than osslsigncode"
# digest FILE CAT: the hash osslsigncode looks FILE up by in CAT.
digest() { { osslsigncode verify -in "$1" -catalog "$2" 2>&1 || true; } | sed -n 's/^Calculated message digest *: *\([0-9A-F]*\).*/\1/p'; }
# wrap CAT: the catalog's list signed anew by openssl cms, which puts it in an OCTET STRING.
wrap() {
  local at len
  read -r at len < <(openssl asn1parse -inform DER -in "$1" | awk '/d=4 .*cont/ { c = 1 } c && /d=5 / { h = $0; sub(/.*hl=/, "", h); l = $0; sub(/.* l= */, "", l); print $1 + 0, h + l; exit }')
  tail -c +$((at + 1)) "$1" | head -c "$len" | openssl cms -sign -binary -nodetach -outform DER \
    -econtent_type 1.3.6.1.4.1.311.10.1 -signer "$tmp/cat.pem" -inkey "$tmp/cat.key" -out "$1.cms" && mv "$1.cms" "$1"
}
# misuse CAT: the catalog's list made one for another usage (1.3.6.1.4.1.311.12.1.2), in place.
misuse() {
  local at
  at=$(openssl asn1parse -inform DER -in "$1" | awk -F: '/:1.3.6.1.4.1.311.12.1.1$/ { print $1 + 11; exit }')
  printf '\002' | dd of="$1" bs=1 seek="$at" conv=notrunc status=none
}
adb=$(sha1sum <"$tmp/signed/Win64/Halvex_adb.inf" | tr a-f A-F)
sys=$(digest "$tmp/signed/Win64/amd64/extra.sys" "$tmp/signed/Win64/usbvcom.cat")
wdf=$(digest "$tmp/signed/Win32/WdfCoInstaller01009.dll" "$tmp/signed/Win32/Halvex_adb.cat")
printf list >"$tmp/list"
p=$tmp/row w="release: warning: $tmp/row/Win64" refuse="Windows refuses to stage"
# NAME|CHANGE (run in the package)|LINES ('~' between; '!' first: no line holds it)
rows=(
  "every file in its catalog||release: $tmp/out-row/FenwarrDriverPackage-~release: Halvex_adb.cat (Win32): test-signed: test mode only"
  "the INF not in its catalog|cd Win64 && catalog Halvex_adb.cat ./*.dll|$w/Halvex_adb.inf: not in Halvex_adb.cat, the catalog of Halvex_adb.inf (looked for: SHA-1 ${adb%% *}); $refuse Halvex_adb.inf: the hash for the file is not present in the specified catalog file"
  "a .sys not in its catalog|cd Win64 && catalog usbvcom.cat usbvcom.inf|$w/amd64/extra.sys: not in usbvcom.cat, the catalog of usbvcom.inf (looked for: Authenticode SHA-1 $sys); $refuse usbvcom.inf"
  "a .dll not in its SHA-256 catalog|cd Win32 && catalog --sha256 Halvex_adb.cat Halvex_adb.inf W*2.dll|release: warning: $p/Win32/WdfCoInstaller01009.dll: not in Halvex_adb.cat, the catalog of Halvex_adb.inf (looked for: Authenticode SHA-256 $wdf)"
  "a PE file with broken headers|head -c 300 Win64/WdfCoInstaller01009.dll >Win64/amd64/extra.sys|$w/amd64/extra.sys: starts as a PE file (MZ) but its headers are broken; Windows cannot hash it; $refuse usbvcom.inf"
  "UTF-8 with a byte order mark|{ printf '\357\273\277'; sed /^\;/d Win32/WceIS.inf; } >bom && mv bom Win32/WceIS.inf|release: $p/Win32/WceIS.inf: UTF-8 with a byte order mark (EF BB BF); Windows reads an INF only as ANSI or UTF-16LE: save it as UTF-16LE"
  "decorated catalog names|sed -i 's/^CatalogFile = usbvcom.cat/&\r\nCatalogFile.NT = nt.cat\r\nCatalogFile.NTamd64 = amd64.cat/' Win*/usbvcom.inf && (cd Win32 && catalog --sha256 nt.cat usbvcom.inf) && (cd Win64 && catalog amd64.cat usbvcom.inf amd64/extra.sys) && cp \"$src/examples/package/unsigned.cat\" Win32/usbvcom.cat && cp Win32/usbvcom.cat Win64/|release: $tmp/out-row/FenwarrDriverPackage-~!usbvcom.cat"
  "a list of another usage|misuse Win64/WceIS.cat|$w/WceIS.cat: not a driver catalog (a list for 1.3.6.1.4.1.311.12.1.2, not 1.3.6.1.4.1.311.12.1.1); $refuse WceIS.inf: the catalog is not valid"
  "a list in an OCTET STRING, as CMS signs it|wrap Win64/cdc-acm.cat|release: $tmp/out-row/FenwarrDriverPackage-"
  "a signed structure around no list|openssl cms -sign -in $tmp/list -binary -nodetach -outform DER -econtent_type 1.3.6.1.4.1.311.10.1 -signer $tmp/cat.pem -inkey $tmp/cat.key -out Win64/cdc-acm.cat|$w/cdc-acm.cat: not a catalog (its content is no certificate trust list); $refuse cdc-acm.inf"
  "no catalog named|sed -i /^CatalogFile/d Win64/Halvex_ser.inf|$w/Halvex_ser.inf: names no catalog (CatalogFile); Windows takes Halvex_ser.inf for unsigned; unsigned: 64-bit Windows refuses it"
  "a name outside the package|printf '[SourceDisksFiles]\r\n..\\\\..\\\\x.sys = 1\r\n' >>Win64/usbvcom.inf|x.sys: a path outside the package ('..' or an absolute path); not read~problem(s) in the package $p; nothing was built"
  "a file in [SourceDisksFiles.amd64] and plain|printf '[SourceDisksFiles]\r\nextra.sys = 1,i386\r\n' >>Win64/usbvcom.inf && cd Win64 && catalog usbvcom.cat usbvcom.inf amd64/extra.sys|release: $tmp/out-row/FenwarrDriverPackage-~!i386"
  "a catalog named through [Strings], missing|sed -i 's/^CatalogFile = usbvcom.cat/CatalogFile = %Vcom%.cat/' Win64/usbvcom.inf && printf '[Strings]\r\nvcom = \"vcom\"\r\n' >>Win64/usbvcom.inf|release: $p/Win64/vcom.cat: missing (named by usbvcom.inf)"
  "a catalog named through [Strings], the INF edited after signing|sed -i 's/^CatalogFile = usbvcom.cat/CatalogFile = %Vcom%.cat/' Win64/usbvcom.inf && printf '[Strings]\r\nVCOM = usbvcom\r\n' >>Win64/usbvcom.inf|$w/usbvcom.inf: not in usbvcom.cat, the catalog of usbvcom.inf"
)
for row in "${rows[@]}"; do
  IFS='|' read -r name change lines <<<"$row"
  rm -rf "$p" "$tmp/out-row" && cp -R "$tmp/signed" "$p"
  (cd "$p" && eval "$change")
  "$src/scripts/release" --package "$p" --no-build --strict --out "$tmp/out-row" >"$tmp/row.log" 2>&1 || true
  IFS='~' read -ra want <<<"$lines"
  for l in "${want[@]}"; do
    if [ "${l:0:1}" = '!' ]; then ! grep -qF -- "${l:1}" "$tmp/row.log"; else grep -qF -- "$l" "$tmp/row.log"; fi ||
      { cat "$tmp/row.log"; fail "$name: $([ "${l:0:1}" = '!' ] && echo 'a line holds' || echo 'no line') ${l#!}"; }
  done
done

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
