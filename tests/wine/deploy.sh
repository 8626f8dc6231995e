#!/usr/bin/env bash
# deploy.sh ARCH CASE
#
# Driver package deployment of FenwarrSetup.exe (emulated Windows 7) in a fresh
# ARCH prefix (win32: 32-bit Windows; win64: 64-bit Windows, where the 32-bit
# tool runs under WOW64 and then hands off to Fenwarr64.exe). CASE:
#   full       the whole package: both co-installers land in the system
#              directory, all seven INFs are staged in order under their own
#              names, each with its success record
#   omit       WdfCoInstaller01009.dll and usbvcom_brom.inf left out of the
#              package: those two fail (file not found), the rest goes on
#   nopackage  no package folder at all (the tool's own folder exists): both
#              co-installers fail with "path not found", every INF fails
#   rerun      the full package, then the tool a second time in the same
#              prefix: the same trace, the co-installers replaced, the INFs
#              found again under the names of the first run, no oemN.inf
# Each run exits with 1, and the whole trace is checked, on win64 including
# the hand-off and the companion's records (P2: it copies the co-installers
# into the native system32; with no device seeded it removes nothing).
#
# Wine 8.0 behaviour relied on is noted at each place.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"

[ $# -eq 2 ] || fw_fatal "usage: deploy.sh win32|win64 full|omit|nopackage|rerun"
arch=$1 scenario=$2
case $scenario in full | omit | nopackage | rerun) ;; *) fw_fatal "unknown case '$scenario'" ;; esac
[ "$arch" = win32 ] || fw_require_wow64 "deployment on 64-bit Windows ($scenario)"

fw_begin "deploy-$arch-$scenario" "$arch"
fw_set_version win7

omitted=()
case $scenario in
  full | rerun) fw_install_package ;;
  omit)
    omitted=(WdfCoInstaller01009.dll usbvcom_brom.inf)
    fw_install_package --omit WdfCoInstaller01009.dll --omit usbvcom_brom.inf
    ;;
  nopackage) fw_install_package --none ;;
esac
# shellcheck disable=SC2119 # (no arguments: beside the package, with the companion)
fw_install_tool

# The Windows error a package file fails with, or nothing when it is there:
# a file missing from an existing folder is ERROR_FILE_NOT_FOUND (2), a
# missing folder ERROR_PATH_NOT_FOUND (3).
missing_code() {
  local o
  if [ "$scenario" = nopackage ]; then echo 3; return; fi
  for o in "${omitted[@]}"; do [ "$o" = "$1" ] && { echo 2; return; }; done
  return 0
}

expect_coinstallers() {
  local f code
  for f in "${FW_COINSTALLERS[@]}"; do
    code=$(missing_code "$f")
    if [ -n "$code" ]; then fw_expect_coinstaller "$f" "$code"; else fw_expect_coinstaller "$f"; fi
  done
}

# The records of one whole run.
expect_run() {
  local f code
  fw_expect_reset
  fw_expect_setup_head win7
  expect_coinstallers
  for f in "${FW_INFS[@]}"; do
    code=$(missing_code "$f")
    if [ -n "$code" ]; then fw_expect_inf "$f" "$code"; else fw_expect_inf "$f"; fi
  done
  if [ "$arch" = win64 ]; then
    # shellcheck disable=SC2119 # (no arguments: the setup run's records)
    fw_expect_handoff
    fw_expect_pid P2
    # shellcheck disable=SC2119 # (no arguments: the setup run's records)
    fw_expect_companion_head
    expect_coinstallers
  fi
  # No device is seeded, so the removal walk traces nothing. Wine's
  # CM_Locate_DevNode_ExA is a stub returning CR_FAILURE: no refresh.
  fw_expect_msg 'Get device node failed, return'
}

check_run() {
  fw_assert_exit 1
  expect_run
  fw_accept_inf_0x7a
  fw_assert_trace
  # Standard output carries only a failed companion start.
  [ ! -s "$FW_DIR/stdout.txt" ] || fw_fail "unexpected standard output: $(head -c 200 "$FW_DIR/stdout.txt")"
}

# The co-installers in system directory SYSDIR: each present one a copy of the
# package's, each missing one absent.
check_coinstallers_in() {
  local sysdir=$1 f src
  src=$(fw_package_src)
  for f in "${FW_COINSTALLERS[@]}"; do
    if [ -n "$(missing_code "$f")" ]; then
      fw_assert_file_absent "$sysdir\\$f"
    else
      fw_assert_files_equal "$sysdir\\$f" "$src/$f"
    fi
  done
}

check_effects() {
  local f src inf
  src=$(fw_package_src)
  if [ "$arch" = win32 ]; then
    check_coinstallers_in 'C:\windows\system32'
  else
    # The tool is told C:\windows\system32, but as a 32-bit process on 64-bit
    # Windows its copies are redirected to syswow64; the companion, a 64-bit
    # process, puts its own copies into the real system32.
    check_coinstallers_in 'C:\windows\syswow64'
    check_coinstallers_in 'C:\windows\system32'
  fi
  # The staged INFs, by content, under the names the trace gave (Wine keeps
  # the INF's own name), each with its precompiled .pnf.
  for f in "${FW_INFS[@]}"; do
    if [ -n "$(missing_code "$f")" ]; then
      fw_assert_file_absent "C:\\windows\\inf\\$f"
    else
      fw_assert_files_equal "C:\\windows\\inf\\$f" "$src/$f"
      fw_assert_file_present "C:\\windows\\inf\\${f%.inf}.pnf"
    fi
  done
  # Nothing was staged under another name (a fresh prefix has no oemN.inf).
  inf=$(fw_unix_path 'C:\windows\inf')
  if [ -n "$(find "$inf" -maxdepth 1 -iname 'oem*.inf' -print -quit)" ]; then
    fw_fail "oemN.inf files in C:\\windows\\inf: $(find "$inf" -maxdepth 1 -iname 'oem*.inf' -printf '%f ')"
  fi
}

# shellcheck disable=SC2119 # (no arguments: the tool reads none)
fw_run
check_run
if [ "$scenario" = rerun ]; then
  check_effects
  cp "$FW_DIR/trace.norm" "$FW_DIR/trace.first"
  # The second run over the first: the co-installers are overwritten (files
  # this clone created, so nothing writes through to the master) and
  # SetupCopyOEMInfA finds each INF's identical content under the first
  # run's name and gives that name again.
  # shellcheck disable=SC2119
  fw_run
  check_run
fi
check_effects
fw_end
