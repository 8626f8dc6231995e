#!/usr/bin/env bash
# hostile.sh CASE [COUNT]
#
# FenwarrSetup.exe on 32-bit Windows 7 (win32 prefix) against hostile input:
#
#   ids      a hardware ID of 4,000 characters, a node with 500 hardware IDs,
#            a driver name of 2,000 characters
#   package  directories in the package folder where files are expected:
#            WinUSBCoInstaller2.dll and usbvcom.inf
#   bulk     COUNT seeded device nodes (default 5,000): 1% listed without a
#            driver, 1% listed with one, the rest unlisted
#
# Each case checks the exit code, the whole trace, the files and the Enum
# tree against a snapshot taken right before the run. Wine's
# CM_Locate_DevNode_ExA is a stub answering CR_FAILURE, so every run ends
# with "Get device node failed, return" (Windows: "Refresh device node").
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"

[ $# -ge 1 ] || fw_fatal "usage: hostile.sh ids|package|bulk [COUNT]"
case=$1 count=${2:-5000}
version=win7

# repeat N CHAR: N copies of CHAR.
repeat() { local s; printf -v s '%*s' "$1" ''; printf '%s' "${s// /$2}"; }

expect_removed() {
  fw_expect_msg 'Found! [%s]\n' "$1"
  fw_expect_msg 'SetupDiCallClassInstaller successful, line: %d\n' 1228
}

removed=()

# --- ids ----------------------------------------------------------------------

seed_ids() {
  # A first (and only) hardware ID of 4,000 characters, the listed ID at its
  # very end, no driver: matched and removed.
  HUGE_ID="USB\\VID_FFFF&PID_FFFF&SERIAL_$(repeat 3950 A)USB\\VID_4C1B&PID_7435"
  [ ${#HUGE_ID} -eq 4000 ] || fw_fatal "HUGE_ID is ${#HUGE_ID} bytes"
  fw_seed_device USB 'VID_4C1B&PID_7435' HUGE "$HUGE_ID"
  removed+=("$(fw_device_key USB 'VID_4C1B&PID_7435' HUGE)" 'HKLM\System\CurrentControlSet\Enum\USB\VID_4C1B&PID_7435')

  # 500 hardware IDs (15.5 KB), the listed one last, no driver: the list is
  # fetched whole (a first call without buffer, then one of the size told),
  # walked to its end and the node removed. "Found!" shows the first ID.
  local ids=() i
  for ((i = 1; i < 500; i++)); do ids+=("$(printf 'USB\\VID_2000&PID_%04d&REV_0001' "$i")"); done
  ids+=('USB\VID_0E8D&PID_200A')
  fw_seed_device USB 'VID_0E8D&PID_200A' MANY "${ids[@]}"
  removed+=("$(fw_device_key USB 'VID_0E8D&PID_200A' MANY)" 'HKLM\System\CurrentControlSet\Enum\USB\VID_0E8D&PID_200A')

  # A driver name of 2,000 characters on a listed node: the 512-byte fetch
  # fails with 122 (Wine: required size 2001, buffer untouched); kept.
  HUGE_DRIVER="{4d36e978-e325-11ce-bfc1-08002be10318}\\$(repeat 1961 9)"
  [ ${#HUGE_DRIVER} -eq 2000 ] || fw_fatal "HUGE_DRIVER is ${#HUGE_DRIVER} bytes"
  fw_seed_device --driver "$HUGE_DRIVER" USB 'VID_4C1B&PID_7500' HUGEDRV 'USB\VID_4C1B&PID_7500'
}

expect_ids() {
  local found
  # The walk meets USB\VID_0E8D&PID_200A\MANY first.
  expect_removed 'USB\VID_2000&PID_0001&REV_0001'
  # "Found! [%s]\n" with the 4,000-character ID is 4,010 characters. The
  # tool formats into 1,025 bytes with wsprintfA, which Wine cuts at 1,023
  # characters and a NUL: the record holds the first 1,015 characters of the
  # ID, without the closing "]\n". dbgmon's limit (4,091 bytes a string) is
  # far away, so the record arrives whole.
  printf -v found 'Found! [%s]\n' "$HUGE_ID"
  fw_expect_msg '%s' "${found:0:1023}"
  fw_expect_msg 'SetupDiCallClassInstaller successful, line: %d\n' 1228
  fw_expect_msg 'Found! [%s]\n' 'USB\VID_4C1B&PID_7500'
  fw_expect_msg 'remove driver failed getlasterror is not  ERROR_INVALID_DATA, is %d, line: %d\n' 122 1232
}

# --- package ------------------------------------------------------------------

DIR_DLL=WinUSBCoInstaller2.dll
DIR_INF=usbvcom.inf
# SetupCopyOEMInfA on a directory: Wine's SetupCopyOEMInfW fails with
# ERROR_ACCESS_DENIED (5), as on Windows; the 32-bit A wrapper then reports
# 122 (0x7a) in every run (the A-version bug), which fw_accept_inf_0x7a takes
# in place of 5. The x86-64 road-test build gets the 5 itself.
PACKAGE_INF_ERROR=0x5

seed_package() {
  # The package without the two files, and a directory of each name in their
  # place (each holding a file, so it is no mere empty folder).
  fw_install_package --omit "$DIR_DLL" --omit "$DIR_INF"
  local pkg
  pkg=$(fw_unix_path "$(fw_package_dir_win)")
  mkdir "$pkg/$DIR_DLL" "$pkg/$DIR_INF"
  echo inside >"$pkg/$DIR_DLL/readme.txt"
  echo inside >"$pkg/$DIR_INF/readme.txt"
}

# The deployment records of the package case (the devices add none).
expect_package_deployment() {
  local f
  for f in "${FW_COINSTALLERS[@]}"; do
    if [ "$f" = "$DIR_DLL" ]; then
      # CopyFileA opens the source, a directory, without backup semantics:
      # ERROR_ACCESS_DENIED (5) under Wine, as on Windows.
      fw_expect_coinstaller "$f" 5
    else
      fw_expect_coinstaller "$f"
    fi
  done
  for f in "${FW_INFS[@]}"; do
    if [ "$f" = "$DIR_INF" ]; then
      fw_expect_inf "$f" "$(printf '%x' "$PACKAGE_INF_ERROR")"
    else
      fw_expect_inf "$f"
    fi
  done
}

check_package() {
  local pkg_win f
  pkg_win=$(fw_package_dir_win)
  fw_assert_file_absent "C:\\windows\\system32\\$DIR_DLL"
  fw_assert_files_equal 'C:\windows\system32\WdfCoInstaller01009.dll' "$(fw_package_src)/WdfCoInstaller01009.dll"
  fw_assert_file_absent "C:\\windows\\inf\\$DIR_INF"
  fw_assert_file_absent 'C:\windows\inf\usbvcom.pnf'
  for f in "${FW_INFS[@]}"; do
    [ "$f" = "$DIR_INF" ] && continue
    fw_assert_files_equal "C:\\windows\\inf\\$f" "$(fw_package_src)/$f"
  done
  # No oemN.inf appeared: the failed INF was not staged under another name.
  [ -z "$(find "$(fw_unix_path 'C:\windows\inf')" -maxdepth 1 -iname 'oem*.inf' -print -quit)" ] ||
    fw_fail "an oemN.inf appeared in C:\\windows\\inf"
  # The package folder is as it was: the two directories and their files.
  if [ ! -d "$(fw_unix_path "$pkg_win\\$DIR_DLL")" ] || [ ! -d "$(fw_unix_path "$pkg_win\\$DIR_INF")" ]; then
    fw_fail "a directory of the package folder went away"
  fi
  fw_assert_file_present "$pkg_win\\$DIR_DLL\\readme.txt"
  fw_assert_file_present "$pkg_win\\$DIR_INF\\readme.txt"
}

# --- bulk ---------------------------------------------------------------------

# Node n (0 <= n < COUNT) is USB\VID_1D6B&PID_<n/100>\<n>, so the walk meets
# them in numeric order. n % 100 == 7: listed, no driver (removed);
# n % 100 == 42: listed with a driver (reported, kept); every tenth of the
# others carries a driver; the rest are unlisted and driverless.
BULK_CLASS='{36FC9E60-C465-11CF-8056-444553540000}'
BULK_DRIVER='{4d36e978-e325-11ce-bfc1-08002be10318}'

seed_bulk() {
  local lines=()
  # One REGEDIT4 text for all nodes (one regedit import), written by awk.
  mapfile -t lines < <(awk -v count="$count" -v class="$BULK_CLASS" -v drv="$BULK_DRIVER" '
    function hex7(a, b,   s, i, out) {
      s = a; out = ""
      for (i = 1; i <= length(s); i++) out = out sprintf("%02x,", ord[substr(s, i, 1)])
      out = out "00,"
      if (b != "") { for (i = 1; i <= length(b); i++) out = out sprintf("%02x,", ord[substr(b, i, 1)]); out = out "00," }
      return out "00"
    }
    BEGIN {
      for (i = 32; i < 127; i++) ord[sprintf("%c", i)] = i
      for (n = 0; n < count; n++) {
        printf "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\USB\\VID_1D6B&PID_%04d\\%05d]\n", int(n / 100), n
        printf "\"ClassGUID\"=\"%s\"\n", class
        if (n % 100 == 7) {
          printf "\"HardwareID\"=hex(7):%s\n", hex7(sprintf("USB\\VID_4C1B&PID_7435&REV_%04d", n), "USB\\VID_4C1B&PID_7435")
        } else if (n % 100 == 42) {
          printf "\"HardwareID\"=hex(7):%s\n", hex7(sprintf("USB\\VID_0E8D&PID_2007&REV_%04d", n), "USB\\VID_0E8D&PID_2007")
          printf "\"Driver\"=\"%s\\\\%04d\"\n", drv, n
        } else {
          printf "\"HardwareID\"=hex(7):%s\n", hex7(sprintf("USB\\VID_1D6B&PID_%04d&REV_0001", n), sprintf("USB\\VID_1D6B&PID_%04d", n))
          if (n % 10 == 3) printf "\"Driver\"=\"%s\\\\%04d\"\n", drv, n
        }
        print ""
      }
    }')
  fw_reg_add "${lines[@]}"
  local n
  for ((n = 7; n < count; n += 100)); do
    removed+=("$(printf 'HKLM\\System\\CurrentControlSet\\Enum\\USB\\VID_1D6B&PID_%04d\\%05d' $((n / 100)) "$n")")
  done
}

expect_bulk() {
  local base n
  for ((base = 0; base < count; base += 100)); do
    n=$((base + 7))
    if [ "$n" -lt "$count" ]; then expect_removed "$(printf 'USB\\VID_4C1B&PID_7435&REV_%04d' "$n")"; fi
    n=$((base + 42))
    if [ "$n" -lt "$count" ]; then
      fw_expect_msg 'Found! [%s]\n' "$(printf 'USB\\VID_0E8D&PID_2007&REV_%04d' "$n")"
      fw_expect_msg 'Driver inf is %s!\n' "$(printf '%s\\%04d' "$BULK_DRIVER" "$n")"
    fi
  done
}

# --- run ------------------------------------------------------------------------

name="hostile-$case"
if [ "$case" = bulk ]; then name+="-$count"; fi
fw_begin "$name" win32
fw_set_version "$version"
# shellcheck disable=SC2119 # fw_install_package: (no arguments: the whole package)
case $case in
  ids) seed_ids; fw_install_package ;;
  package) seed_package ;;
  bulk) seed_bulk; fw_install_package ;;
  *) fw_fatal "unknown case '$case'" ;;
esac
# shellcheck disable=SC2119 # (no arguments: the defaults)
fw_install_tool
fw_reg_import
fw_reg_snapshot seeded
t0=$(date +%s.%N)
# shellcheck disable=SC2119
fw_run
t1=$(date +%s.%N)
fw_log "run took $(awk -v a="$t0" -v b="$t1" -v n="$count" -v c="$case" 'BEGIN {
  printf "%.1f s", b - a; if (c == "bulk") printf " (%.2f ms per node)", (b - a) * 1000 / n }')"

fw_assert_exit 1
fw_expect_setup_head "$version"
case $case in
  ids) fw_expect_deployment; expect_ids ;;
  package) expect_package_deployment ;; # the devices add no record
  bulk) fw_expect_deployment; expect_bulk ;;
esac
fw_expect_msg 'Get device node failed, return' # CM_Locate_DevNode_ExA: Wine's stub, CR_FAILURE
fw_accept_inf_0x7a
fw_assert_trace
if [ "$case" = package ]; then check_package; fi

# Exactly the removed nodes (and device keys they left empty) are gone, each
# of them present before; everything else under Enum reads as before.
fw_assert_reg_snapshot seeded "${removed[@]}"
fw_end
