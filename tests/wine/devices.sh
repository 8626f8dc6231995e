#!/usr/bin/env bash
# devices.sh CASE VERSION
#
# Device maintenance of FenwarrSetup.exe on 32-bit Windows (win32 prefix, the
# road that removes driverless nodes itself), with HKCU\Software\Wine Version
# = VERSION. The package is complete, so the deployment records are the usual
# ones; what follows them is checked record by record, and the Enum tree is
# compared with a snapshot taken right before the run.
#
#   maintenance  listed and unlisted nodes, with and without a driver; lower
#                case IDs, a match on the second string, two driverless nodes
#                next to each other, a very long first ID, a REG_SZ list, a
#                driver name too long for the tool's 512-byte buffer
#   values       unusual property values: empty, NUL-only and unterminated
#                hardware-ID lists, REG_BINARY lists, empty and odd drivers
#
# Wine enumerates the nodes of HKLM\System\CurrentControlSet\Enum in key order
# (enumerator, device, instance; names compared without case), with its own
# nodes (DISPLAY, HID, PCI, ROOT\WINE, WINEBUS) among them. None of Wine's own
# nodes carries a listed ID, so the records below name seeded nodes only, in
# that order. Wine's master prefix has no USB enumerator, so USB\... holds
# seeded nodes only.
#
# The refresh: Wine's CM_Locate_DevNode_ExA is a stub answering CR_FAILURE
# (0x13) for any device ID, the root included, so every run ends with "Get
# device node failed, return" and no re-enumeration is asked for. Real
# Windows would trace "Refresh device node" there.
#
# What Wine 8.0's SetupDiGetDeviceRegistryPropertyA answers for the values of
# the "values" case (found with a throwaway probe that asked for each
# property with no buffer, then with the size it was told, then with 512 and
# 4096 bytes). Seeding goes through `regedit /S` of a REGEDIT4 file, and
# regedit appends one NUL to a hex(7) value whose bytes do not end with one
# (never a second), so a REG_MULTI_SZ always ends with at least one NUL; only
# a REG_BINARY value keeps bytes without any terminator.
#
#   value as seeded                       no buffer           buffer of the size told
#   HardwareID hex(7): (0 bytes)          FALSE/122, req 0    0 bytes: FALSE/122, req 0 again
#                                                             (512 bytes: TRUE, nothing written)
#   HardwareID hex: (REG_BINARY, 0 bytes) FALSE/122, req 0    as above (type 3)
#   HardwareID hex(7):00                  FALSE/122, req 1    TRUE, 00
#   HardwareID hex(7):00,00               FALSE/122, req 2    TRUE, 00 00
#   HardwareID hex(7):"ID", no NUL        FALSE/122, req n+1  TRUE, "ID" 00 (regedit's NUL; the
#                                                             list's final empty string missing)
#   HardwareID hex(7):"A",00,"B", no NUL  FALSE/122, req a+b+2  TRUE, "A" 00 "B" 00
#   HardwareID hex:"ID" (REG_BINARY)      FALSE/122, req n    TRUE, the n bytes, no NUL (type 3)
#   HardwareID REG_SZ "ID"                FALSE/122, req n+1  TRUE, "ID" 00 (type 1)
#   Driver "" (REG_SZ, one NUL)           FALSE/122, req 1    TRUE, 00
#   Driver hex(1): or hex(7): (0 bytes)   FALSE/122, req 0    512 bytes: TRUE, nothing written
#   Driver dword:5 (REG_DWORD)            FALSE/122, req 4    TRUE, 05 00 00 00 (type 4)
#   Driver of 511 characters              FALSE/122, req 512  512 bytes: TRUE, 511 + NUL
#   Driver of 512 characters              FALSE/122, req 513  512 bytes: FALSE/122, req 513,
#                                                             buffer untouched
#   no Driver value                       FALSE/13            FALSE/13 (req = the buffer size,
#                                                             type 0)
#
# The tool asks for the hardware IDs with no buffer first: a zero-byte value
# answers FALSE/122 with a required size of 0, no more than the tool holds, so
# growing cannot help and the member is skipped without a record (a loop that
# grew to the size told would ask again forever: Wine answers a 0-byte buffer
# the same way). Any Driver value, of any type and even empty, means "has a
# driver": the node is reported ("Driver inf is %s!\n" with whatever the bytes
# spell) and kept.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"

[ $# -eq 2 ] || fw_fatal "usage: devices.sh maintenance|values VERSION"
case=$1 version=$2

MODEM_DRIVER='{4d36e96d-e325-11ce-bfc1-08002be10318}\0003'

# repeat N CHAR: N copies of CHAR.
repeat() { local s; printf -v s '%*s' "$1" ''; printf '%s' "${s// /$2}"; }

# The records of a listed node: found, then removed.
expect_removed() {
  fw_expect_msg 'Found! [%s]\n' "$1"
  fw_expect_msg 'SetupDiCallClassInstaller successful, line: %d\n' 1228
}
# The records of a listed node with a driver: found, then its driver named.
expect_driver() {
  fw_expect_msg 'Found! [%s]\n' "$1"
  fw_expect_msg 'Driver inf is %s!\n' "$2"
}
# The records of a listed node whose driver name does not fit into 512 bytes.
expect_driver_too_long() {
  fw_expect_msg 'Found! [%s]\n' "$1"
  fw_expect_msg 'remove driver failed getlasterror is not  ERROR_INVALID_DATA, is %d, line: %d\n' 122 1232
}

key() { fw_device_key "$@"; }

removed=() # keys that must be gone after the run

seed_maintenance() {
  # FTDIBUS sorts between Wine's DISPLAY and HID nodes. Its first ID names no
  # listed device, the second does: handled, and "Found!" shows the first.
  fw_seed_device FTDIBUS 'VID_0E8D+PID_0003+A1' '0000' \
    'FTDIBUS\COMPORT&VID_0E8D&PID_0003' 'USB\VID_0E8D&PID_0003'
  removed+=("$(key FTDIBUS 'VID_0E8D+PID_0003+A1' '0000')" 'HKLM\System\CurrentControlSet\Enum\FTDIBUS')

  # Two driverless listed nodes next to each other in the enumeration. The
  # removed one stays in the device set (it is not compacted), so index i+1
  # is still the next node: both go. Their device key, left empty, goes too.
  fw_seed_device USB 'VID_0E8D&PID_2001' 1 'USB\VID_0E8D&PID_2001&REV_0100' 'USB\VID_0E8D&PID_2001'
  fw_seed_device USB 'VID_0E8D&PID_2001' 2 'USB\VID_0E8D&PID_2001&REV_0100' 'USB\VID_0E8D&PID_2001'
  removed+=("$(key USB 'VID_0E8D&PID_2001' 1)" "$(key USB 'VID_0E8D&PID_2001' 2)"
    'HKLM\System\CurrentControlSet\Enum\USB\VID_0E8D&PID_2001')

  # A first ID of 200 bytes: "Found! [%s]\n" is 210 characters, more than
  # 127; the tool's 1025-byte trace buffer takes it whole.
  LONG_ID="USB\\VID_0E8D&PID_2006&REV_0100&MI_00&SERIAL_$(repeat 156 7)"
  [ ${#LONG_ID} -eq 200 ] || fw_fatal "LONG_ID is ${#LONG_ID} bytes"
  fw_seed_device USB 'VID_0E8D&PID_2006' LONG "$LONG_ID" 'USB\VID_0E8D&PID_2006'
  removed+=("$(key USB 'VID_0E8D&PID_2006' LONG)" 'HKLM\System\CurrentControlSet\Enum\USB\VID_0E8D&PID_2006')

  # HardwareID as REG_SZ instead of REG_MULTI_SZ: Wine returns it (TRUE, type
  # 1) as the string and its NUL, a list of one string without the final
  # empty one; the walk stops at the end of the returned data.
  fw_seed_device --sz USB 'VID_0E8D&PID_2007' SZ 'USB\VID_0E8D&PID_2007&REV_0001'
  removed+=("$(key USB 'VID_0E8D&PID_2007' SZ)" 'HKLM\System\CurrentControlSet\Enum\USB\VID_0E8D&PID_2007')

  # A driver name of 600 bytes: the 512-byte fetch fails with 122 (Wine
  # reports the required 601); the node is kept.
  LONG_DRIVER="{4d36e978-e325-11ce-bfc1-08002be10318}\\$(repeat 561 9)"
  [ ${#LONG_DRIVER} -eq 600 ] || fw_fatal "LONG_DRIVER is ${#LONG_DRIVER} bytes"
  fw_seed_device --driver "$LONG_DRIVER" USB 'VID_0E8D&PID_200A' LONGDRV 'USB\VID_0E8D&PID_200A'

  # Unlisted nodes, with and without a driver: silent, untouched.
  fw_seed_device USB 'VID_1234&PID_0001' GHOST 'USB\VID_1234&PID_0001&REV_0001' 'USB\VID_1234&PID_0001'
  fw_seed_device --driver "$MODEM_DRIVER" USB 'VID_1234&PID_0002' LIVE 'USB\VID_1234&PID_0002'
  # One byte short of entry 1, and a compatible ID: no entry matches.
  fw_seed_device USB 'VID_4C1B&PID_743' SHORT 'USB\VID_4C1B&PID_743' 'USB\Class_ff&SubClass_42&Prot_01'

  # A listed driverless node with two matching strings: handled once.
  fw_seed_device USB 'VID_4C1B&PID_7435' GHOST 'USB\VID_4C1B&PID_7435&REV_0100&MI_01' 'USB\VID_4C1B&PID_7435'
  removed+=("$(key USB 'VID_4C1B&PID_7435' GHOST)" 'HKLM\System\CurrentControlSet\Enum\USB\VID_4C1B&PID_7435')

  # Listed, but without a ClassGUID Wine does not enumerate the node at all:
  # silent, untouched.
  fw_reg_add '[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum\USB\VID_4C1B&PID_7439\NOCLASS]' \
    "\"HardwareID\"=hex(7):$(fw_hex7 'USB\VID_4C1B&PID_7439')" ''

  # Lower-case ID (and key): matched without case; "Found!" shows it as is.
  fw_seed_device USB 'vid_4c1b&pid_743a' lower 'usb\vid_4c1b&pid_743a&rev_0001' 'usb\vid_4c1b&pid_743a'
  removed+=("$(key USB 'vid_4c1b&pid_743a' lower)" 'HKLM\System\CurrentControlSet\Enum\USB\vid_4c1b&pid_743a')

  # Listed with a driver: reported and kept.
  fw_seed_device --driver "$MODEM_DRIVER" USB 'VID_4C1B&PID_7500' KEPT 'USB\VID_4C1B&PID_7500&REV_0200' 'USB\VID_4C1B&PID_7500'

  # Listed ID, no hardware-ID value at all: FALSE/13, skipped in silence.
  fw_seed_device USB 'VID_4C1B&PID_74ED' NOHWID

  # Match on the second string: handled, "Found!" shows the first.
  fw_seed_device USB 'VID_9999&PID_0001' SECOND 'USB\VID_9999&PID_0001&REV_0001' 'USB\VID_0E8D&PID_2000'
  removed+=("$(key USB 'VID_9999&PID_0001' SECOND)" 'HKLM\System\CurrentControlSet\Enum\USB\VID_9999&PID_0001')
}

expect_maintenance() {
  # In the walk's order; the seeded nodes without a record are the unlisted
  # ones, the one without ClassGUID (not enumerated) and the one without
  # HardwareID.
  expect_removed 'FTDIBUS\COMPORT&VID_0E8D&PID_0003'         # FTDIBUS\...\0000 (second ID)
  expect_removed 'USB\VID_0E8D&PID_2001&REV_0100'            # ...PID_2001\1
  expect_removed 'USB\VID_0E8D&PID_2001&REV_0100'            # ...PID_2001\2, the next index
  expect_removed "$LONG_ID"                                  # ...PID_2006\LONG
  expect_removed 'USB\VID_0E8D&PID_2007&REV_0001'            # ...PID_2007\SZ
  expect_driver_too_long 'USB\VID_0E8D&PID_200A'             # ...PID_200A\LONGDRV
  expect_removed 'USB\VID_4C1B&PID_7435&REV_0100&MI_01'      # ...PID_7435\GHOST
  expect_removed 'usb\vid_4c1b&pid_743a&rev_0001'            # ...pid_743a\lower
  expect_driver 'USB\VID_4C1B&PID_7500&REV_0200' "$MODEM_DRIVER" # ...PID_7500\KEPT
  expect_removed 'USB\VID_9999&PID_0001&REV_0001'            # ...VID_9999&PID_0001\SECOND
}

# hex of a string's bytes, comma-separated, without any NUL.
hexbytes() { printf '%s' "$1" | od -An -v -tx1 | tr -s ' \n' ',,' | sed 's/^,//;s/,$//'; }

# driver_node INSTANCE VALUE-LINE: a node of entry 2 with a Driver value
# written as given in REGEDIT4.
driver_node() {
  fw_reg_add "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\USB\\VID_4C1B&PID_7500\\$1]" \
    "\"ClassGUID\"=$(fw_reg_str "$FW_DEFAULT_CLASS")" \
    "\"HardwareID\"=hex(7):$(fw_hex7 'USB\VID_4C1B&PID_7500')" "$2" ''
}

seed_values() {
  # HardwareID of zero bytes (REG_MULTI_SZ and REG_BINARY): FALSE/122 with a
  # required size of 0 to a call without buffer; the tool skips the member.
  fw_seed_device_raw USB 'VID_4C1B&PID_7435' EMPTY7 ''
  fw_seed_device_raw --type 3 USB 'VID_4C1B&PID_7435' EMPTY3 ''
  # Only a NUL, or two: TRUE with an empty first string; nothing to match.
  fw_seed_device_raw USB 'VID_4C1B&PID_7435' NUL1 '00'
  fw_seed_device_raw USB 'VID_4C1B&PID_7435' NUL2 '00,00'
  # A listed ID behind an empty first string: the walk ends at the empty
  # string, so the ID is never looked at.
  fw_seed_device_raw USB 'VID_4C1B&PID_7435' HIDDEN "00,$(hexbytes 'USB\VID_4C1B&PID_7435'),00,00"

  # A list without terminators (regedit adds one NUL, not the list's final
  # empty string): the walk stops at the end of the returned data.
  fw_seed_device_raw USB 'VID_0E8D&PID_2000' UNTERM "$(hexbytes 'USB\VID_0E8D&PID_2000&REV_0100')"
  removed+=("$(key USB 'VID_0E8D&PID_2000' UNTERM)")
  # Two strings, the listed one last, without the final NULs.
  fw_seed_device_raw USB 'VID_0E8D&PID_2000' UNTERM2 \
    "$(hexbytes 'USB\VID_1111&PID_0001'),00,$(hexbytes 'USB\VID_0E8D&PID_2000')"
  removed+=("$(key USB 'VID_0E8D&PID_2000' UNTERM2)" 'HKLM\System\CurrentControlSet\Enum\USB\VID_0E8D&PID_2000')

  # REG_BINARY HardwareID: Wine returns its bytes as they are (type 3), here
  # without any NUL; the tool ignores the type, and its zeroed guard bytes
  # behind the returned data end the string.
  fw_seed_device_raw --type 3 USB 'VID_0E8D&PID_2006' BINARY "$(hexbytes 'USB\VID_0E8D&PID_2006&REV_0300')"
  removed+=("$(key USB 'VID_0E8D&PID_2006' BINARY)" 'HKLM\System\CurrentControlSet\Enum\USB\VID_0E8D&PID_2006')
  # REG_BINARY holding a proper list, the listed ID second.
  fw_seed_device_raw --type 3 USB 'VID_0E8D&PID_2007' BINLIST \
    "$(hexbytes 'USB\VID_2222&PID_0002'),00,$(hexbytes 'USB\VID_0E8D&PID_2007'),00,00"
  removed+=("$(key USB 'VID_0E8D&PID_2007' BINLIST)" 'HKLM\System\CurrentControlSet\Enum\USB\VID_0E8D&PID_2007')

  # Driver values: "" (one NUL) and zero bytes both answer TRUE with an empty
  # name; a REG_DWORD answers TRUE with its four bytes (05 00 00 00 reads as
  # the string "\x05"). All count as a driver: reported, kept. (The zero-byte
  # value is a REG_MULTI_SZ: Wine 8.0's `reg query` crashes with a page fault
  # printing a zero-byte REG_SZ, and the snapshots need it; SetupDi answers
  # the same for both types.)
  driver_node DRVEMPTY '"Driver"=""'
  driver_node DRVZERO '"Driver"=hex(7):'
  driver_node DRVDWORD '"Driver"=dword:00000005'
  # The driver buffer's limit: 511 characters and the NUL fit into the 512
  # bytes, 512 characters do not (FALSE/122).
  DRIVER_511="{4d36e978-e325-11ce-bfc1-08002be10318}\\$(repeat 472 1)"
  DRIVER_512="${DRIVER_511}2"
  [ ${#DRIVER_511} -eq 511 ] || fw_fatal "DRIVER_511 is ${#DRIVER_511} bytes"
  fw_seed_device --driver "$DRIVER_511" USB 'VID_4C1B&PID_7500' DRV511 'USB\VID_4C1B&PID_7500'
  fw_seed_device --driver "$DRIVER_512" USB 'VID_4C1B&PID_7500' DRV512 'USB\VID_4C1B&PID_7500'
}

expect_values() {
  # In the walk's order (device key, then instance, without case):
  expect_removed 'USB\VID_0E8D&PID_2000&REV_0100'           # ...PID_2000\UNTERM
  expect_removed 'USB\VID_1111&PID_0001'                    # ...PID_2000\UNTERM2
  expect_removed 'USB\VID_0E8D&PID_2006&REV_0300'           # ...PID_2006\BINARY
  expect_removed 'USB\VID_2222&PID_0002'                    # ...PID_2007\BINLIST
  # ...PID_7435\{EMPTY3,EMPTY7,HIDDEN,NUL1,NUL2}: no record.
  expect_driver 'USB\VID_4C1B&PID_7500' "$DRIVER_511"       # ...PID_7500\DRV511
  expect_driver_too_long 'USB\VID_4C1B&PID_7500'            # ...PID_7500\DRV512
  expect_driver 'USB\VID_4C1B&PID_7500' $'\x05'             # ...PID_7500\DRVDWORD
  expect_driver 'USB\VID_4C1B&PID_7500' ''                  # ...PID_7500\DRVEMPTY
  expect_driver 'USB\VID_4C1B&PID_7500' ''                  # ...PID_7500\DRVZERO
}

fw_begin "devices-$case-$version" win32
fw_set_version "$version"
case $case in
  maintenance) seed_maintenance ;;
  values) seed_values ;;
  *) fw_fatal "unknown case '$case'" ;;
esac
# shellcheck disable=SC2119 # (no arguments: the whole package)
fw_install_package
# shellcheck disable=SC2119 # (no arguments: the defaults)
fw_install_tool
# The registry as seeded, before the tool (and its enumeration) touches it.
fw_reg_import
fw_reg_snapshot seeded
# shellcheck disable=SC2119
fw_run

fw_assert_exit 1
fw_expect_setup_head "$version"
fw_expect_deployment
case $case in
  maintenance) expect_maintenance ;;
  values) expect_values ;;
esac
fw_expect_msg 'Get device node failed, return' # CM_Locate_DevNode_ExA: Wine's stub, CR_FAILURE
fw_assert_trace

# Exactly the removed nodes (and the device keys they left empty) are gone;
# every other node, Wine's own included, reads as before (and each removed
# key was there before the run).
fw_assert_reg_snapshot seeded "${removed[@]}"
fw_end
