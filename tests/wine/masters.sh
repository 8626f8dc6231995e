#!/usr/bin/env bash
# Builds (or checks) the cached master prefixes that every Wine test clones:
# build/wine-bed/master-win32 and master-win64. Rebuilt only when missing,
# unfinished, made by another `wine --version`, or written to by a clone.
#   masters.sh [win32] [win64]     (default: both; only win64 where 32-bit
#                                  programs cannot run, see loader.sh)
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"

# shellcheck disable=SC2034 # read by lib.sh's messages
FW_NAME=wine-masters
fw_log "$(fw_i386_line)"
archs=("$@")
if [ ${#archs[@]} -eq 0 ]; then
  archs=(win64)
  [ "$FENWARR_WINE_I386" = no ] || archs=(win32 win64)
fi
# Nothing of an earlier run may hold up this one.
fw_stop_bed_servers
# The two masters are independent: build them side by side.
pids=()
for arch in "${archs[@]}"; do
  fw_ensure_master "$arch" &
  pids+=($!)
done
rc=0
for pid in "${pids[@]}"; do wait "$pid" || rc=1; done
[ "$rc" = 0 ] || fw_fatal "a master prefix could not be built"
fw_sweep
fw_log "masters ready in $FW_BED ($(fw_wine_exec --version))"
