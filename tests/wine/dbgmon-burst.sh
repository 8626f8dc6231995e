#!/usr/bin/env bash
# dbgmon-burst.sh COUNT: the monitor's own Wine test (tools/dbgmon/tests/burst.sh) on a hard-link clone of
# the test bed's master: the 32-bit dbgmon.exe and odsburst.exe in the 32-bit master, or, where 32-bit
# programs cannot run, their x86-64 builds in the 64-bit master through the 64-bit loader.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"

count=${1:-5000}
dir=$FW_WIN32_DIR/tools/dbgmon arch=win32
if [ "$FENWARR_WINE_I386" = no ]; then
  dir=$FW_WIN64_DIR/tools/dbgmon arch=win64
  export WINELOADER=$FW_WINE64
fi
fw_ensure_master "$arch"
# Its folder under the bed's run/ folder: the same file system as the master, swept like the rest.
WINE_MASTER=$(fw_master_dir "$arch") TMPDIR="$FW_BED/run" \
  exec bash "$FW_SRC_DIR/tools/dbgmon/tests/burst.sh" "$dir/dbgmon.exe" "$dir/odsburst.exe" "$count"
