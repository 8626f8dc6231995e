#!/usr/bin/env bash
# classification.sh ARCH VERSION
#
# Platform classification of FenwarrSetup.exe on one emulated Windows version:
# in a fresh ARCH prefix (win32: 32-bit Windows; win64: 64-bit Windows, where
# the 32-bit tool runs under WOW64) with HKCU\Software\Wine Version = VERSION,
# the run exits with 1 and its trace starts with "Setup Device", the system
# path, the version numbers and the platform line(s), each message preceded
# by the tag record. What the later steps trace after that is not looked at
# here.
#
# Wine 8.0 quirks that matter for the rows:
# - winxp64 and win2003 both report 5.2.3790 (product type 1 and 3): both are
#   the XP row, told apart only by wProductType, which the tool never reads.
# - win7 reports wProductType 3 (a server) and win2008r2 reports 1: swapped
#   in Wine. The tool reads only major/minor, so both are the Windows 7 row.
# - win8, win81 and win10 all report 6.2.9200 to a program without a
#   supportedOS manifest entry (the tool's manifest has none), so each takes
#   the "other OS" row, like win2k (5.0).
# - winxp also exists in a 64-bit prefix (5.1 under WOW64, which real Windows
#   never had: XP x64 was 5.2); the tool then traces "Windows XP64".
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"

[ $# -eq 2 ] || fw_fatal "usage: classification.sh win32|win64 VERSION"
arch=$1 version=$2
[ "$arch" = win32 ] || fw_require_wow64 "classification on 64-bit Windows ($version)"

fw_begin "classification-$arch-$version" "$arch"
fw_set_version "$version"
# The package folder is in place so that the later steps run on a normal
# installation; it may not be built yet for win64.
fw_install_package --if-present
# shellcheck disable=SC2119 # (no arguments: the defaults)
fw_install_tool
# shellcheck disable=SC2119
fw_run

fw_assert_exit 1
fw_expect_setup_head "$version"
fw_assert_trace_head
fw_end
