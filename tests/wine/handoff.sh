#!/usr/bin/env bash
# handoff.sh ARCH CASE
#
# The end of the run (emulated Windows 7) with seeded device nodes: a listed
# hardware ID without a driver (the ghost, to be removed), a listed one with a
# Driver value (kept) and an unlisted one (never looked at). CASE:
#   road          ARCH win64: the whole 64-bit road. The 32-bit tool deploys
#                 and stages, traces the hand-off and starts Fenwarr64.exe
#                 from its own folder; the companion (P2) copies its
#                 co-installers natively into system32, removes the ghost and
#                 keeps the others. dbgmon records both processes in order.
#                 ARCH win32: Fenwarr64.exe lies beside the tool, but on
#                 32-bit Windows it is never started: the tool removes the
#                 ghost itself and there is no second process.
#   no-companion  ARCH win64, Fenwarr64.exe missing: "CreateProcess failed
#                 (2).\n" on standard output, the untagged "CreateProcess
#                 failed" record, exit code 1; no device is touched.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"

[ $# -eq 2 ] || fw_fatal "usage: handoff.sh win32|win64 road|no-companion"
arch=$1 scenario=$2
case $arch/$scenario in win32/road | win64/road | win64/no-companion) ;; *) fw_fatal "unknown case $arch $scenario" ;; esac
[ "$arch" = win32 ] || fw_require_wow64 "the 64-bit hand-off ($scenario)"

fw_begin "handoff-$arch-$scenario" "$arch"
fw_set_version win7

ghost_ids=('USB\VID_0E8D&PID_2000&REV_0100' 'USB\VID_0E8D&PID_2000')
kept_driver='{4d36e978-e325-11ce-bfc1-08002be10318}\0007'
fw_seed_device USB 'VID_0E8D&PID_2000' ghost "${ghost_ids[@]}"
fw_seed_device --driver "$kept_driver" USB 'VID_4C1B&PID_7435' kept 'USB\VID_4C1B&PID_7435&REV_0200'
fw_seed_device USB 'VID_1234&PID_5678' other 'USB\VID_1234&PID_5678&REV_0001'
ghost_key=$(fw_device_key USB 'VID_0E8D&PID_2000' ghost)
kept_key=$(fw_device_key USB 'VID_4C1B&PID_7435' kept)
other_key=$(fw_device_key USB 'VID_1234&PID_5678' other)

# shellcheck disable=SC2119 # (no arguments: the whole package)
fw_install_package
if [ "$scenario" = no-companion ]; then
  fw_install_tool --no-companion
else
  # shellcheck disable=SC2119 # (no arguments: beside the package, with the companion)
  fw_install_tool
fi
tool_dir=${FW_TOOL_WIN%\\*}
if [ "$scenario" = road ]; then
  fw_assert_file_present "$tool_dir\\Fenwarr64.exe"
else
  fw_assert_file_absent "$tool_dir\\Fenwarr64.exe"
fi

# shellcheck disable=SC2119 # (no arguments: the tool reads none)
fw_run

# --- The records ----------------------------------------------------------------

# Both co-installers and all seven INFs succeed (the deployment cases are in
# deploy.sh).
expect_deployment() {
  local f
  for f in "${FW_COINSTALLERS[@]}"; do fw_expect_coinstaller "$f"; done
  for f in "${FW_INFS[@]}"; do fw_expect_inf "$f"; done
}

# The device walk and refresh, in the process that runs them. Wine lists the
# nodes in registry order (the seeded IDs sort ghost, other, kept).
expect_devices() {
  fw_expect_msg 'Found! [%s]\n' "${ghost_ids[0]}"
  fw_expect_msg 'SetupDiCallClassInstaller successful, line: %d\n' 1228
  fw_expect_msg 'Found! [%s]\n' 'USB\VID_4C1B&PID_7435&REV_0200'
  fw_expect_msg 'Driver inf is %s!\n' "$kept_driver"
  # Wine's CM_Locate_DevNode_ExA is a stub returning CR_FAILURE: no refresh.
  fw_expect_msg 'Get device node failed, return'
}

fw_assert_exit 1
fw_expect_setup_head win7
expect_deployment
case $arch/$scenario in
  win32/road)
    # 32-bit Windows: no hand-off, the tool handles the devices itself.
    expect_devices
    ;;
  win64/road)
    # shellcheck disable=SC2119 # (no arguments: the setup run's records)
    fw_expect_handoff
    fw_expect_pid P2
    # shellcheck disable=SC2119 # (no arguments: the setup run's records)
    fw_expect_companion_head
    for f in "${FW_COINSTALLERS[@]}"; do fw_expect_coinstaller "$f"; done
    expect_devices
    ;;
  win64/no-companion)
    # shellcheck disable=SC2119 # (no arguments: the setup run's records)
    fw_expect_handoff
    # CreateProcessA fails with ERROR_FILE_NOT_FOUND; the tool sends one
    # string without the tag and does nothing after it.
    fw_expect_untagged 'CreateProcess failed'
    ;;
esac
fw_assert_trace

# --- Standard output ------------------------------------------------------------

if [ "$scenario" = no-companion ]; then
  # msvcrt's text-mode stdout writes the format's \n as CR LF (on Windows too).
  if [ "$(od -An -c "$FW_DIR/stdout.txt")" != "$(printf 'CreateProcess failed (2).\r\n' | od -An -c)" ]; then
    fw_fail "standard output is not \"CreateProcess failed (2).\\r\\n\": $(od -An -c "$FW_DIR/stdout.txt" | head -n 3)"
  fi
else
  [ ! -s "$FW_DIR/stdout.txt" ] || fw_fail "unexpected standard output: $(head -c 200 "$FW_DIR/stdout.txt")"
fi

# --- Files ----------------------------------------------------------------------

src=$(fw_package_src)
for f in "${FW_COINSTALLERS[@]}"; do
  if [ "$arch" = win32 ]; then
    fw_assert_files_equal "C:\\windows\\system32\\$f" "$src/$f"
  else
    # The tool's own copies: a 32-bit process on 64-bit Windows is redirected
    # from system32 into syswow64.
    fw_assert_files_equal "C:\\windows\\syswow64\\$f" "$src/$f"
    if [ "$scenario" = road ]; then
      # The companion's copies, native: the real system32.
      fw_assert_files_equal "C:\\windows\\system32\\$f" "$src/$f"
    else
      fw_assert_file_absent "C:\\windows\\system32\\$f"
    fi
  fi
done
for f in "${FW_INFS[@]}"; do
  fw_assert_files_equal "C:\\windows\\inf\\$f" "$src/$f"
done

# --- Registry -------------------------------------------------------------------

# The Driver value of KEY is exactly VALUE (wine reg query's line form).
assert_driver() {
  local out
  out=$(fw_wine reg query "$1" /v Driver 2>>"$FW_DIR/stderr.txt" | tr -d '\r') || true
  grep -qxF "    Driver    REG_SZ    $2" <<<"$out" || fw_fail "$1: Driver is not $2: $(grep -i driver <<<"$out" || echo '(no value)')"
}

if [ "$scenario" = road ]; then
  fw_assert_key_absent "$ghost_key"
else
  # Without the companion nobody walks the devices on 64-bit Windows.
  fw_assert_key_present "$ghost_key"
fi
fw_assert_key_present "$kept_key"
assert_driver "$kept_key" "$kept_driver"
fw_assert_key_present "$other_key"
fw_end
