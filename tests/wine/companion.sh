#!/usr/bin/env bash
# companion.sh
#
# Fenwarr64.exe on its own, the native half of the 64-bit road: started
# directly in a 64-bit prefix (emulated Windows 7) with the Win64 package
# half in place and three seeded device nodes: a listed ghost (no driver), a
# listed node bound to a driver and an unlisted one. It traces its start
# record and the system path, copies both co-installers from the Win64 folder
# into the native system32, removes the ghost, keeps the bound node and never
# looks at the unlisted one, asks for the refresh (Wine: the root node cannot
# be located) and exits with 1. It needs no 32-bit program, so it runs on
# every machine.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"

[ $# -eq 0 ] || fw_fatal "usage: companion.sh"

fw_begin companion-alone win64
fw_set_version win7

ghost_ids=('USB\VID_4C1B&PID_743A&REV_0200' 'USB\VID_4C1B&PID_743A')
kept_id='USB\VID_0E8D&PID_0003&REV_0100'
kept_driver='{4d36e978-e325-11ce-bfc1-08002be10318}\0011'
fw_seed_device USB 'VID_4C1B&PID_743A' ghost "${ghost_ids[@]}"
fw_seed_device --driver "$kept_driver" USB 'VID_0E8D&PID_0003' kept "$kept_id"
fw_seed_device USB 'VID_1234&PID_5678' other 'USB\VID_1234&PID_5678&REV_0001'

# shellcheck disable=SC2119 # (no arguments: the whole package)
fw_install_package
fw_install_companion
# shellcheck disable=SC2119 # (no arguments: the companion reads none)
fw_run

fw_assert_exit 1
# shellcheck disable=SC2119 # (no arguments: the setup run's records)
fw_expect_companion_head
for f in "${FW_COINSTALLERS[@]}"; do fw_expect_coinstaller "$f"; done
# Wine lists the nodes in registry order: kept (0E8D), other, ghost (4C1B).
fw_expect_msg 'Found! [%s]\n' "$kept_id"
fw_expect_msg 'Driver inf is %s!\n' "$kept_driver"
fw_expect_msg 'Found! [%s]\n' "${ghost_ids[0]}"
fw_expect_msg 'SetupDiCallClassInstaller successful, line: %d\n' 1228
# Wine's CM_Locate_DevNode_ExA is a stub returning CR_FAILURE: no refresh.
fw_expect_msg 'Get device node failed, return'
fw_assert_trace
[ ! -s "$FW_DIR/stdout.txt" ] || fw_fail "unexpected standard output: $(head -c 200 "$FW_DIR/stdout.txt")"

src=$(fw_package_src)
for f in "${FW_COINSTALLERS[@]}"; do
  fw_assert_files_equal "C:\\windows\\system32\\$f" "$src/$f"
  fw_assert_file_absent "C:\\windows\\syswow64\\$f"
done
fw_assert_key_absent "$(fw_device_key USB 'VID_4C1B&PID_743A' ghost)"
fw_assert_key_present "$(fw_device_key USB 'VID_0E8D&PID_0003' kept)"
fw_assert_key_present "$(fw_device_key USB 'VID_1234&PID_5678' other)"
fw_end
