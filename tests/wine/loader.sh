# shellcheck shell=bash
# tests/wine/loader.sh: which Wine loader this machine can run, found out once.
#
# Sourced by the test bed (lib.sh), scripts/test and scripts/demo. Wine's
# 32-bit loader (/usr/lib/wine/wine, what /usr/bin/wine starts whenever wine32
# is installed) is an i386 program: on a kernel whose 32-bit emulation is off
# it cannot start, and neither can any 32-bit Windows program. Such a machine
# still runs the 64-bit loader, 64-bit prefixes and 64-bit programs.
#
#   fw_probe_i386    sets and exports FENWARR_WINE_I386=yes|no and, for no,
#                    FENWARR_WINE_I386_WHY; an exported answer is kept, so
#                    the scripts a run starts do not probe again
#   fw_i386_line     the one line that says which mode is in force and why
#   fw_wine_exec     wine, through the loader this machine can run
#                    (FW_WINE_CMD: the same as a command array)
#
# FENWARR_WINE_NO_I386=1 selects the 64-bit-only mode on any machine.

fw_probe_i386() {
  case ${FENWARR_WINE_I386:-} in yes | no) return 0 ;; esac
  local out
  FENWARR_WINE_I386_WHY=''
  if [ "${FENWARR_WINE_NO_I386:-0}" = 1 ]; then
    FENWARR_WINE_I386=no
    FENWARR_WINE_I386_WHY="FENWARR_WINE_NO_I386=1 asks for the 64-bit-only mode"
  elif [ ! -e /usr/lib/wine/wine ]; then
    FENWARR_WINE_I386=no
    FENWARR_WINE_I386_WHY="Wine's 32-bit loader (package wine32:i386) is not installed"
  elif out=$(/usr/lib/wine/wine --version 2>&1); then
    FENWARR_WINE_I386=yes
  else
    FENWARR_WINE_I386=no
    case $out in
      *"Exec format error"*)
        FENWARR_WINE_I386_WHY="this machine cannot run 32-bit programs (the kernel refuses i386 executables: its 32-bit emulation is off)"
        ;;
      *) FENWARR_WINE_I386_WHY="Wine's 32-bit loader does not start here ($(head -n 1 <<<"$out"))" ;;
    esac
  fi
  export FENWARR_WINE_I386 FENWARR_WINE_I386_WHY
}

fw_i386_line() {
  if [ "$FENWARR_WINE_I386" = yes ]; then
    echo "Wine: this machine runs 32-bit programs; every scenario runs, 32-bit and 64-bit prefixes alike."
  else
    echo "Wine: $FENWARR_WINE_I386_WHY. Instead: 64-bit prefixes only; the 32-bit-Windows road runs the" \
      "x86-64 road-test build of FenwarrSetup.exe, the companion runs on its own, and what needs the" \
      "32-bit program under WOW64 is skipped."
  fi
}

fw_probe_i386

# Wine's 64-bit loader, which every machine of ours can run.
FW_WINE64=/usr/lib/wine/wine64

# The wine command, as an array for callers such as timeout that need a
# program: the 64-bit loader is started directly (and named in WINELOADER,
# which Wine uses to start further processes) where the 32-bit one cannot run.
if [ "$FENWARR_WINE_I386" = no ]; then
  FW_WINE_CMD=(env WINELOADER="$FW_WINE64" "$FW_WINE64")
else
  FW_WINE_CMD=(wine)
fi
fw_wine_exec() { "${FW_WINE_CMD[@]}" "$@"; }
