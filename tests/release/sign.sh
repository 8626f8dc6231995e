#!/usr/bin/env bash
# sign.sh: the release's signing, with a throwaway self-signed code-signing certificate made here.
#   1. scripts/release --no-build with FENWARR_SIGN_PFX and FENWARR_SIGN_PASSWORD: the three programs and
#      the MSI are signed and verified, the build outputs stay unsigned, SHA256SUMS checks;
#   2. the MSI and the signed programs verify against the certificate; a program altered after signing
#      (one byte of its code) and the MSI altered after signing (one byte) fail verification;
#   3. a certificate not made for code signing: the verification fails and the release stops without an MSI.
# Needs the win32 and win64 presets built (77 when they are not).
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
fails=0
fail() {
  echo "FAIL: $*"
  fails=$((fails + 1))
}
for exe in win32/FenwarrSetup.exe win32/FenwarrUninstall.exe win64/Fenwarr64.exe; do
  [ -f "$src/build/$exe" ] || { echo "SKIPPED: build/$exe is not built"; exit 77; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# cert NAME EKU: a self-signed certificate and key, for two days, in NAME.pfx (password "test pass").
cert() {
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout "$tmp/$1.key" -out "$tmp/$1.pem" \
    -subj "/CN=Fenwarr release test ($1)/O=Zamtre" -addext "keyUsage=critical,digitalSignature" \
    -addext "extendedKeyUsage=$2" 2>/dev/null
  openssl pkcs12 -export -inkey "$tmp/$1.key" -in "$tmp/$1.pem" -out "$tmp/$1.pfx" -passout 'pass:test pass'
}

# release NAME OUT: scripts/release signing with NAME.pfx; its output in OUT.log, the work folder kept.
release() {
  FENWARR_SIGN_PFX="$tmp/$1.pfx" FENWARR_SIGN_PASSWORD='test pass' \
    "$src/scripts/release" --no-build --keep-work --out "$tmp/$2" >"$tmp/$2.log" 2>&1
}

verifies() { osslsigncode verify -in "$1" -CAfile "$2" >"$tmp/verify.log" 2>&1; }

# flip FILE OFFSET: one byte of FILE changed in place.
flip() {
  local b
  b=$(od -An -tu1 -j "$2" -N 1 "$1" | tr -d ' ')
  printf '%b' "\\$(printf '%03o' $(((b + 1) % 256)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# --- 1. A signed release ---------------------------------------------------------------

cert signer codeSigning
if release signer good; then
  cat "$tmp/good.log"
  for f in FenwarrSetup.exe FenwarrUninstall.exe Fenwarr64.exe FenwarrDriverPackage-; do
    grep -q "^release: signed and verified: $f" "$tmp/good.log" || fail "the release did not sign and verify $f"
  done
  (cd "$tmp/good" && sha256sum -c SHA256SUMS) || fail "SHA256SUMS does not check"
else
  cat "$tmp/good.log"
  fail "the signed release failed"
fi
work=$(sed -n 's/^release: working folder kept: //p' "$tmp/good.log")
msi=$(find "$tmp/good" -name 'FenwarrDriverPackage-*.msi' | head -n 1)
for exe in win32/FenwarrSetup.exe win32/FenwarrUninstall.exe win64/Fenwarr64.exe; do
  if osslsigncode verify -in "$src/build/$exe" 2>&1 | grep -q 'Signature Index'; then
    fail "build/$exe carries a signature: the release must sign copies"
  fi
done

# --- 2. Verification, and alteration after signing -------------------------------------

if [ -n "$work" ] && [ -f "$work/bin/FenwarrSetup.exe" ] && [ -n "$msi" ]; then
  for exe in FenwarrSetup.exe FenwarrUninstall.exe Fenwarr64.exe; do
    verifies "$work/bin/$exe" "$tmp/signer.pem" || { cat "$tmp/verify.log"; fail "the signed $exe does not verify"; }
  done
  verifies "$msi" "$tmp/signer.pem" || { cat "$tmp/verify.log"; fail "the signed MSI does not verify"; }
  cp "$work/bin/FenwarrSetup.exe" "$tmp/altered.exe"
  # A byte of the code: the first byte of the .text section's file data.
  text=$(i686-w64-mingw32-objdump -h "$tmp/altered.exe" | awk '$2 == ".text" { print $6; exit }')
  flip "$tmp/altered.exe" $((0x${text:-400}))
  if verifies "$tmp/altered.exe" "$tmp/signer.pem"; then
    fail "FenwarrSetup.exe altered after signing still verifies"
  else
    grep -q MISMATCH "$tmp/verify.log" || { cat "$tmp/verify.log"; fail "the altered program failed verification, but not on its digest"; }
  fi
  # A byte of the embedded cabinet, which holds the files.
  cp "$msi" "$tmp/altered.msi"
  cab=$(grep -obUa MSCF "$tmp/altered.msi" | head -n 1 | cut -d: -f1)
  flip "$tmp/altered.msi" $((${cab:-4096} + 200))
  if verifies "$tmp/altered.msi" "$tmp/signer.pem"; then fail "the MSI altered after signing still verifies"; fi
else
  fail "no signed program or MSI to verify (work folder: '${work}', MSI: '${msi}')"
fi
[ -z "$work" ] || rm -rf "$work"
[ ! -e "$work/sign.pass" ] || fail "the password file outlived the release"

# --- 3. A certificate that is not for code signing ------------------------------------

cert server serverAuth
if release server bad; then
  cat "$tmp/bad.log"
  fail "a release signed with a server certificate passed"
else
  grep -q 'does not verify; release stopped' "$tmp/bad.log" || { cat "$tmp/bad.log"; fail "the release failed for another reason"; }
  [ -z "$(find "$tmp/bad" -name '*.msi' 2>/dev/null)" ] || fail "a stopped release left an MSI"
fi
work=$(sed -n 's/^release: working folder kept: //p' "$tmp/bad.log")
[ -z "$work" ] || rm -rf "$work"

[ "$fails" = 0 ] && echo "all checks passed" || echo "$fails check(s) failed"
[ "$fails" = 0 ]
