#!/usr/bin/env bash
# uninstall.sh ARCH CASE
#
# FenwarrUninstall.exe after FenwarrSetup.exe (emulated Windows 7), in a fresh
# ARCH prefix. Before the install, two foreign INF files sit in the driver
# store: another vendor's cdc-acm.inf (our name, as many bytes as ours, other
# content) and an oem9.inf of other content. After the install, device nodes
# are seeded: listed with a driver, listed without one, listed only at its
# second hardware ID, and an unlisted one. CASE:
#   road       ARCH win32: the uninstaller removes the three listed nodes (it
#              asks no driver question), picks exactly our seven INF files
#              out of C:\windows\inf by content (ours went to oem0.inf beside
#              the foreign cdc-acm.inf) and asks Windows to take each out
#              without force, says the co-installers stay, and refreshes.
#              Then, with the INF files gone as Windows would have taken
#              them, a second run finds nothing.
#              ARCH win64: the 32-bit uninstaller hands everything to
#              "Fenwarr64.exe /uninstall", which does the same against the
#              Win64 half of the package (needs the 32-bit programs).
#   nopackage  ARCH win32: the package folder is gone by the time the
#              uninstaller runs: every package INF is reported missing, the
#              store is left alone, the listed nodes still go.
#
# Wine 8.0: SetupUninstallOEMInfA without SUOI_FORCEDELETE deletes nothing
# and returns TRUE (for a name that does not exist too). So this test proves
# which store files the program picks and asks Windows to remove, and that
# nothing foreign is touched; the host tests prove what follows a refusal.
# Unlike the setup run's driverless walk, DIF_REMOVE here meets nodes with a
# Driver value; Wine removes those just the same.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"

[ $# -eq 2 ] || fw_fatal "usage: uninstall.sh win32|win64 road|nopackage"
arch=$1 scenario=$2
case $arch/$scenario in win32/road | win64/road | win32/nopackage) ;; *) fw_fatal "unknown case $arch $scenario" ;; esac
[ "$arch" = win32 ] || fw_require_wow64 "the uninstaller's hand-off to the companion"

fw_begin "uninstall-$arch-$scenario" "$arch"
fw_set_version win7

# --- The store before the install: two foreign INF files ---------------------

src=$(fw_package_src)
store=$(fw_unix_path 'C:\windows\inf')
# Another vendor's cdc-acm.inf: as long as ours, one byte different.
sed '1s/^./X/' "$src/cdc-acm.inf" >"$store/cdc-acm.inf"
cmp -s "$src/cdc-acm.inf" "$store/cdc-acm.inf" && fw_fatal "the foreign cdc-acm.inf equals ours"
[ "$(stat -c %s "$src/cdc-acm.inf")" = "$(stat -c %s "$store/cdc-acm.inf")" ] || fw_fatal "sizes differ"
# shellcheck disable=SC2016 # $Windows NT$ is the INF's own text
printf '[Version]\r\nSignature="$Windows NT$"\r\nProvider=Other\r\n' >"$store/oem9.inf"
cp "$store/cdc-acm.inf" "$FW_DIR/foreign-cdc-acm.inf"
cp "$store/oem9.inf" "$FW_DIR/foreign-oem9.inf"

# --- Install --------------------------------------------------------------------

# shellcheck disable=SC2119 # (no arguments: the whole package)
fw_install_package
# shellcheck disable=SC2119 # (no arguments: beside the package, with the companion)
fw_install_tool
# shellcheck disable=SC2119
fw_run
fw_assert_exit 1
# Where each of our INF files went: the success record of the install run.
declare -A staged=()
while IFS= read -r name; do
  staged[${name,,}]=$name
done < <(sed -n 's/^P[0-9]*\tSetupCopyOEMInf success, destpath is C:\\\\windows\\\\inf\\\\\(.*\)\\n$/\1/p' "$FW_DIR/trace.norm")
[ ${#staged[@]} = 7 ] || fw_fatal "the install staged ${#staged[@]} INF files, not 7"
[ -n "${staged[oem0.inf]:-}" ] || fw_fatal "our cdc-acm.inf was not staged as oem0.inf: ${!staged[*]}"

# --- Devices seeded after the install (its own walk would take the driverless ones)

drv='{4d36e978-e325-11ce-bfc1-08002be10318}\0007'
fw_seed_device --driver "$drv" USB 'VID_4C1B&PID_7435' bound 'USB\VID_4C1B&PID_7435&REV_0100' 'USB\VID_4C1B&PID_7435'
fw_seed_device USB 'VID_0E8D&PID_2000' ghost 'USB\VID_0E8D&PID_2000&REV_0100'
fw_seed_device --driver "$drv" USB 'VID_ABCD&PID_0001' later 'USB\VID_ABCD&PID_0001&REV_0001' 'USB\VID_4C1B&PID_7500'
fw_seed_device --driver "$drv" USB 'VID_1234&PID_5678' other 'USB\VID_1234&PID_5678&REV_0001'
# Removing a node's key also removes its device key, left empty.
listed_keys=()
for d in 'VID_0E8D&PID_2000' 'VID_4C1B&PID_7435' 'VID_ABCD&PID_0001'; do
  listed_keys+=("$(fw_device_key USB "$d" x)")
  listed_keys[-1]=${listed_keys[-1]%\\x}
done
fw_reg_import
fw_reg_snapshot seeded

if [ "$scenario" = nopackage ]; then rm -rf "$(fw_unix_path "$(fw_package_dir_win)")"; fi

# --- The records ----------------------------------------------------------------

# The listed nodes in registry order (VID_0E8D, VID_4C1B, VID_ABCD), each
# with its first hardware ID.
expect_devices_removed() {
  local id
  for id in 'USB\VID_0E8D&PID_2000&REV_0100' 'USB\VID_4C1B&PID_7435&REV_0100' 'USB\VID_ABCD&PID_0001&REV_0001'; do
    fw_expect_msg 'Found! [%s]\n' "$id"
    fw_expect_msg 'SetupDiCallClassInstaller DIF_REMOVE successful\n'
  done
}

# Our seven store files, in the order Wine lists C:\windows\inf (sorted here:
# the order is the file system's), each asked out once.
expect_store() {
  local key name
  while IFS= read -r key; do
    name=${staged[$key]}
    fw_expect_msg 'Store file: %s\n' "C:\\windows\\inf\\$name"
    fw_expect_msg 'SetupUninstallOEMInf success, %s\n' "$name"
  done < <(printf '%s\n' "${!staged[@]}" | LC_ALL=C sort)
}

# The store records of the trace sorted by file name; trace.listed keeps the
# order Wine gave.
sort_store_records() {
  cp "$FW_DIR/trace.norm" "$FW_DIR/trace.listed"
  fw_sort_store_records <"$FW_DIR/trace.listed" >"$FW_DIR/trace.norm"
}

# The uninstaller's hand-off (P1) and the companion's first records (P2).
expect_companion_start() {
  fw_expect_handoff --uninstall
  fw_expect_pid P2
  fw_expect_companion_head --uninstall
}

expect_tail() {
  fw_expect_msg 'Co-installers kept: shared with other drivers\n'
  [ "${1:-}" = nothing ] && fw_expect_msg 'Nothing to uninstall\n'
  # Wine's CM_Locate_DevNode_ExA is a stub returning CR_FAILURE: no refresh.
  fw_expect_msg 'Get device node failed, return'
}

fw_use_program FenwarrUninstall.exe
# shellcheck disable=SC2119
fw_run
cp "$FW_DIR/trace.raw" "$FW_DIR/uninstall-first.raw"
fw_assert_exit 1
sort_store_records
fw_expect_reset
fw_expect_setup_head win7 'Uninstall Device\n'
case $arch/$scenario in
  win32/road)
    expect_devices_removed
    expect_store
    expect_tail
    ;;
  win64/road)
    expect_companion_start
    expect_devices_removed
    expect_store
    expect_tail
    ;;
  win32/nopackage)
    expect_devices_removed
    for f in "${FW_INFS[@]}"; do
      fw_expect_msg 'Package INF not found, code is %d, %s\n' 3 "$(fw_package_dir_win)\\$f"
    done
    fw_expect_msg 'No package INF to compare with, driver store left alone\n'
    expect_tail
    ;;
esac
fw_assert_trace

# --- What the uninstall left -----------------------------------------------------

# The listed nodes are gone, driver or none; the unlisted one is as it was.
fw_assert_reg_snapshot seeded "${listed_keys[@]}"
# The foreign store files are untouched.
fw_assert_files_equal 'C:\windows\inf\cdc-acm.inf' "$FW_DIR/foreign-cdc-acm.inf"
fw_assert_files_equal 'C:\windows\inf\oem9.inf' "$FW_DIR/foreign-oem9.inf"
# The co-installers stay where the install put them.
for f in "${FW_COINSTALLERS[@]}"; do
  if [ "$arch" = win64 ]; then
    fw_assert_files_equal "C:\\windows\\syswow64\\$f" "$src/$f"
  fi
  fw_assert_files_equal "C:\\windows\\system32\\$f" "$src/$f"
done

# --- A second run, with our INF files gone as Windows would have taken them -----

if [ "$scenario" = road ]; then
  for name in "${!staged[@]}"; do rm -f "$(fw_unix_path "C:\\windows\\inf\\$name")"; done
  # shellcheck disable=SC2119
  fw_run
  fw_assert_exit 1
  fw_expect_reset
  fw_expect_setup_head win7 'Uninstall Device\n'
  if [ "$arch" = win64 ]; then expect_companion_start; fi
  expect_tail nothing
  fw_assert_trace
  fw_assert_files_equal 'C:\windows\inf\cdc-acm.inf' "$FW_DIR/foreign-cdc-acm.inf"
  fw_assert_files_equal 'C:\windows\inf\oem9.inf' "$FW_DIR/foreign-oem9.inf"
fi
fw_end
