#!/usr/bin/env bash
# msi.sh ARCH
#
# The shipped installer (scripts/release: the sample package, unsigned; FENWARR_MSI names it) in a fresh
# ARCH prefix, emulated Windows 7, every msiexec run under dbgmon, which records the custom actions'
# programs because the whole prefix shares one debug-output buffer:
#   install   msiexec /i /qn: the half of this Windows at its path and the other half absent,
#             Fenwarr64.exe only on 64-bit Windows; the deferred custom action ran FenwarrSetup.exe once
#             after the files were in place: the record is its whole run (on win64 with the hand-off to
#             the installed Fenwarr64.exe, whose run follows), the co-installers are in the system
#             directory, the INFs staged; the product is listed in Apps & Features with its publisher.
#   again     msiexec /i /qn of the same version: nothing runs, nothing changes.
#   removal   msiexec /x /qn: FenwarrUninstall.exe ran before the files went (on win64 through the
#             companion's uninstall mode), our files and the listing are gone, the co-installers kept.
# The custom actions start the i686 FenwarrSetup.exe and FenwarrUninstall.exe: where 32-bit programs
# cannot run, both cases are skipped.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"

[ $# -eq 1 ] || fw_fatal "usage: msi.sh win32|win64"
arch=$1
case $arch in win32 | win64) ;; *) fw_fatal "unknown road '$arch'" ;; esac
if [ "$FENWARR_WINE_I386" = no ]; then
  printf 'SKIPPED: the MSI on the %s road needs its custom actions to start the i686 programs, and %s\n' \
    "$arch" "$FENWARR_WINE_I386_WHY" >&2
  exit 77
fi
msi=${FENWARR_MSI:-}
[ -f "$msi" ] || fw_fatal "the MSI is not built: '${msi}' (the wine-msi fixture runs scripts/release --no-build)"

fw_begin "msi-$arch" "$arch"
fw_set_version win7
fw_reg_import
fw_install_dbgmon
cp "$msi" "$FW_PREFIX/drive_c/fenwarr-test/package.msi"
msi_win='C:\fenwarr-test\package.msi'

root=$(fw_install_root_win)
half=$(fw_package_dir_win)
src=$(fw_package_src)
if [ "$arch" = win64 ]; then other="$root\\fenwarr\\Win32"; else other="$root\\fenwarr\\Win64"; fi

# msiexec ARGS...: one msiexec run under dbgmon (fw_run starts FW_TOOL_WIN with ARGS); its exit code
# must be 0: the custom actions ignore the programs' exit codes.
msiexec() {
  FW_TOOL_WIN=msiexec.exe
  fw_run "$@"
  fw_assert_exit 0
}

# The listing in Apps & Features: an Uninstall key (or its Wow6432Node twin) whose DisplayName is the
# product's; prints that key's values.
arp_entry() {
  local base
  for base in 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' \
    'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall'; do
    fw_wine reg query "$base" /s 2>>"$FW_DIR/stderr.txt" | tr -d '\r' | awk '
      /^HKEY_/ { if (hit) exit; key = $0; body = ""; next }
      { body = body $0 "\n" }
      /^    DisplayName    REG_SZ    Fenwarr Driver Package$/ { hit = 1 }
      END { if (hit) printf "%s\n%s", key, body }' | grep . && return 0
  done
  return 1
}

# The files the MSI installs: the programs, and every file of a package half.
assert_half() { # WHAT(present|absent) HALFDIR SOURCEDIR
  local f
  for f in "$3"/*; do
    if [ "$1" = present ]; then
      fw_assert_files_equal "$2\\${f##*/}" "$f"
    else
      fw_assert_file_absent "$2\\${f##*/}"
    fi
  done
}

# --- Install --------------------------------------------------------------------

msiexec /i "$msi_win" /qn
cp "$FW_DIR/trace.raw" "$FW_DIR/install.raw"
fw_assert_files_equal "$root\\FenwarrSetup.exe" "$FW_WIN32_DIR/FenwarrSetup.exe"
fw_assert_files_equal "$root\\FenwarrUninstall.exe" "$FW_WIN32_DIR/FenwarrUninstall.exe"
if [ "$arch" = win64 ]; then
  fw_assert_files_equal "$root\\Fenwarr64.exe" "$FW_WIN64_DIR/Fenwarr64.exe"
else
  fw_assert_file_absent "$root\\Fenwarr64.exe"
fi
assert_half present "$half" "$src"
fw_assert_file_absent "$other"

# The record: the setup program's whole run, started from the install folder (P1), and on 64-bit
# Windows the companion's (P2). No device is seeded, so neither finds one; Wine's
# CM_Locate_DevNode_ExA is a stub returning CR_FAILURE: no refresh.
FW_TOOL_WIN="$root\\FenwarrSetup.exe"
fw_expect_reset
fw_expect_setup_head win7
fw_expect_deployment
if [ "$arch" = win64 ]; then
  # shellcheck disable=SC2119 # (no arguments: the setup run's records)
  fw_expect_handoff
  fw_expect_pid P2
  # shellcheck disable=SC2119
  fw_expect_companion_head
  for f in "${FW_COINSTALLERS[@]}"; do fw_expect_coinstaller "$f"; done
fi
fw_expect_msg 'Get device node failed, return'
fw_assert_trace

for f in "${FW_COINSTALLERS[@]}"; do
  fw_assert_files_equal "C:\\windows\\system32\\$f" "$src/$f"
  if [ "$arch" = win64 ]; then fw_assert_files_equal "C:\\windows\\syswow64\\$f" "$src/$f"; fi
done
for f in "${FW_INFS[@]}"; do fw_assert_files_equal "C:\\windows\\inf\\$f" "$src/$f"; done

if arp_entry >"$FW_DIR/arp.txt"; then
  grep -qx '    Publisher    REG_SZ    Zamtre' "$FW_DIR/arp.txt" || fw_fail "Apps & Features: no publisher Zamtre"
  grep -qx "    DisplayVersion    REG_SZ    ${FENWARR_VERSION:-.*}" "$FW_DIR/arp.txt" ||
    fw_fail "Apps & Features: not version ${FENWARR_VERSION:-}"
  fw_log "listed in Apps & Features: $(head -n 1 "$FW_DIR/arp.txt")"
else
  fw_fail "Apps & Features: no entry with DisplayName 'Fenwarr Driver Package'"
fi

# --- The same version again -----------------------------------------------------

msiexec /i "$msi_win" /qn
[ ! -s "$FW_DIR/trace.norm" ] || { fw_fail "a second install ran something:"; cat "$FW_DIR/trace.norm" >&2; }
assert_half present "$half" "$src"
fw_assert_file_absent "$other"
arp_entry >/dev/null || fw_fail "Apps & Features: the entry is gone after a second install"

# --- Removal --------------------------------------------------------------------

msiexec /x "$msi_win" /qn
cp "$FW_DIR/trace.raw" "$FW_DIR/removal.raw"

# Our store files, found by content, in the order the file system lists C:\windows\inf: sorted by name
# here, on both sides.
sort_store_records() {
  LC_ALL=C awk '
    function flush(   n, i, j, t) {
      n = 0
      for (k in grp) key[++n] = k
      for (i = 2; i <= n; i++) { t = key[i]; for (j = i - 1; j > 0 && key[j] > t; j--) key[j + 1] = key[j]; key[j + 1] = t }
      for (i = 1; i <= n; i++) printf "%s", grp[key[i]]
      delete grp; delete key
    }
    { line[NR] = $0 }
    END {
      for (i = 1; i <= NR; i++) {
        if (i + 3 <= NR && line[i + 1] ~ /\tStore file: / && line[i + 3] ~ /\tSetupUninstallOEMInf /) {
          grp[tolower(line[i + 1])] = line[i] "\n" line[i + 1] "\n" line[i + 2] "\n" line[i + 3] "\n"
          i += 3
          continue
        }
        flush()
        print line[i]
      }
      flush()
    }'
}

FW_TOOL_WIN="$root\\FenwarrUninstall.exe"
fw_expect_reset
fw_expect_setup_head win7 'Uninstall Device\n'
if [ "$arch" = win64 ]; then
  fw_expect_handoff --uninstall
  fw_expect_pid P2
  fw_expect_companion_head --uninstall
fi
for f in "${FW_INFS[@]}"; do
  fw_expect_msg 'Store file: %s\n' "C:\\windows\\inf\\$f"
  fw_expect_msg 'SetupUninstallOEMInf success, %s\n' "$f"
done
fw_expect_msg 'Co-installers kept: shared with other drivers\n'
fw_expect_msg 'Get device node failed, return'
sort_store_records <"$FW_DIR/expected" >"$FW_DIR/expected.sorted" && mv "$FW_DIR/expected.sorted" "$FW_DIR/expected"
cp "$FW_DIR/trace.norm" "$FW_DIR/trace.listed"
sort_store_records <"$FW_DIR/trace.listed" >"$FW_DIR/trace.norm"
fw_assert_trace

fw_assert_file_absent "$root\\FenwarrSetup.exe"
fw_assert_file_absent "$root\\FenwarrUninstall.exe"
fw_assert_file_absent "$root\\Fenwarr64.exe"
assert_half absent "$half" "$src"
# Windows Installer takes away the folders it made once they are empty; Wine's does too.
fw_assert_file_absent "$root"
if arp_entry >/dev/null; then fw_fail "Apps & Features: the entry is still there after removal"; fi
# The co-installers are shared with other drivers: they stay.
for f in "${FW_COINSTALLERS[@]}"; do
  fw_assert_files_equal "C:\\windows\\system32\\$f" "$src/$f"
  if [ "$arch" = win64 ]; then fw_assert_files_equal "C:\\windows\\syswow64\\$f" "$src/$f"; fi
done

# fenwarr-report's reading of both records, for the log.
report=${FENWARR_REPORT:-$FW_SRC_DIR/build/host/tools/report/fenwarr-report}
if [ -x "$report" ]; then
  for r in install removal; do
    fw_log "fenwarr-report on the $r record:"
    "$report" "$FW_DIR/$r.raw" >&2 || true
  done
fi
fw_end
