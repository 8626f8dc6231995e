# shellcheck shell=bash
# tests/wine/loader.sh: which Wine loader this machine can run, found out once.
#
# Sourced by the test bed (lib.sh), scripts/test, scripts/demo and
# scripts/i386-emulation. Wine's 32-bit loader (/usr/lib/wine/wine, what
# /usr/bin/wine starts whenever wine32 is installed) is an i386 program. The
# machine runs it in one of three modes:
#   native    the kernel runs 32-bit code itself;
#   emulated  a user-mode emulator registered with binfmt_misc for i386
#             programs runs it (scripts/i386-emulation registers one where the
#             kernel runs no 32-bit code); everything runs as in native mode;
#   64-bit-only  nothing runs it: only the 64-bit loader, 64-bit prefixes and
#             64-bit programs.
#
#   fw_probe_i386    sets and exports FENWARR_WINE_I386=yes|no,
#                    FENWARR_WINE_I386_VIA (the emulator, empty when native)
#                    and, for no, FENWARR_WINE_I386_WHY; an exported answer is
#                    kept, so the scripts a run starts do not probe again
#   fw_i386_line     the one line that says which mode is in force and why
#   fw_wine_exec     wine, through the loader this machine can run
#                    (FW_WINE_CMD: the same as a command array)
#   fw_i386_handler  the name of an enabled binfmt_misc handler for i386
#   fw_emulator_version PATH   an emulator's version, such as 10.0.6
#   fw_wine32_start  starts Wine's 32-bit loader once and says how it went
#                    (the one test of scripts/i386-emulation and this file)
#   fw_wrap          long lines folded, so none printed reaches 200 characters
#
# FENWARR_WINE_NO_I386=1 selects the 64-bit-only mode on any machine.
# FENWARR_WINE_ASSUME_NO_IA32=1 treats the kernel as one that runs no 32-bit
# code, to try the emulated mode on a machine whose kernel does run it.
# FENWARR_WINE32_LOADER and FENWARR_BINFMT point the probes at another loader
# and another binfmt_misc folder: for tests/wine/loader-probe.sh only.

FW_BINFMT=${FENWARR_BINFMT:-/proc/sys/fs/binfmt_misc}
# Wine's 32-bit loader, an i386 program.
FW_WINE32=${FENWARR_WINE32_LOADER:-/usr/lib/wine/wine}
# The handler scripts/i386-emulation registers.
FW_BINFMT_NAME=fenwarr-i386
# Where scripts/i386-emulation says why it registered nothing.
FW_EMULATION_NOTE="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build/i386-emulation.txt"

# fw_i386_handler: the first enabled handler whose magic is that of an i386 ELF
# program (32-bit little-endian ELF, machine 3).
fw_i386_handler() {
  local f magic
  for f in "$FW_BINFMT"/*; do
    case ${f##*/} in register | status | '*') continue ;; esac
    [ -r "$f" ] || continue
    [ "$(head -n 1 "$f" 2>/dev/null)" = enabled ] || continue
    magic=$(sed -n 's/^magic //p' "$f")
    if [ "${magic:0:12}" = 7f454c460101 ] && [ "${magic:36:4}" = 0300 ]; then
      echo "${f##*/}"
      return 0
    fi
  done
  return 1
}

fw_handler_interpreter() { sed -n 's/^interpreter //p' "$FW_BINFMT/$1"; }

# fw_emulation_text HANDLER: what runs i386 programs through HANDLER, in words.
fw_emulation_text() {
  local interp version text
  interp=$(fw_handler_interpreter "$1")
  version=$(fw_emulator_version "$interp")
  case ${interp##*/} in qemu-*) text="QEMU $version user-mode emulation" ;; *) text="$interp $version" ;; esac
  if [ "$1" = "$FW_BINFMT_NAME" ]; then
    text+=" (binfmt_misc handler $1, registered by install-deps where the kernel runs no 32-bit code)"
  else
    text+=" (binfmt_misc handler $1, this machine's own)"
  fi
  case $version in [1-7].*) text+=", older than 8.0: slow to start each 32-bit process" ;; esac
  printf '%s\n' "$text"
}

fw_emulator_version() {
  "$1" --version 2>/dev/null | sed -n '1s/.*version \([0-9][0-9.]*\).*/\1/p'
}

# fw_wine32_start: starts Wine's 32-bit loader once; true when it ran. Sets FW_WINE32_START:
#   runs     it ran (natively, or through a binfmt_misc handler)
#   no-ia32  the kernel refused it as a format it does not run ("Exec format error")
#   broken   it failed otherwise: Wine itself is broken, not the kernel; FW_WINE32_ERROR holds the
#            first line it printed, cut short
#   missing  it is not installed
fw_wine32_start() {
  local out
  FW_WINE32_ERROR=''
  if [ ! -e "$FW_WINE32" ]; then
    FW_WINE32_START=missing
    return 1
  fi
  if out=$("$FW_WINE32" --version 2>&1); then
    FW_WINE32_START=runs
    return 0
  fi
  case $out in
    *"Exec format error"*) FW_WINE32_START=no-ia32 ;;
    *)
      FW_WINE32_START=broken
      FW_WINE32_ERROR=$(head -n 1 <<<"$out" | cut -c 1-100)
      ;;
  esac
  return 1
}

# fw_wrap: standard input with each line longer than 190 characters broken at its last space
# before that (within a word where it has none); the lines that continue it are indented by two.
# What it prints can hold paths and messages of any length.
fw_wrap() {
  awk -v w=190 '{
    s = $0; lead = ""
    while (length(lead s) > w) {
      n = w - length(lead)
      for (i = n + 1; i > 1 && substr(s, i, 1) != " "; i--) continue
      if (i == 1) i = n + 1
      piece = substr(s, 1, i - 1); sub(/ +$/, "", piece)
      print lead piece
      s = substr(s, i); sub(/^ +/, "", s); lead = "  "
    }
    print lead s
  }'
}

# fw_why_no_emulation: what scripts/i386-emulation noted, or what to run.
fw_why_no_emulation() {
  if [ -s "$FW_EMULATION_NOTE" ]; then
    cat "$FW_EMULATION_NOTE"
  else
    echo "no user-mode emulator is registered (scripts/install-deps registers one)"
  fi
}

fw_probe_i386() {
  case ${FENWARR_WINE_I386:-} in yes | no) return 0 ;; esac
  local handler
  FENWARR_WINE_I386_WHY='' FENWARR_WINE_I386_VIA=''
  if [ "${FENWARR_WINE_NO_I386:-0}" = 1 ]; then
    FENWARR_WINE_I386=no
    FENWARR_WINE_I386_WHY="FENWARR_WINE_NO_I386=1 asks for the 64-bit-only mode"
  elif [ ! -e "$FW_WINE32" ]; then
    FENWARR_WINE_I386=no
    FENWARR_WINE_I386_WHY="Wine's 32-bit loader (package wine32:i386) is not installed"
  elif handler=$(fw_i386_handler) && fw_wine32_start; then
    FENWARR_WINE_I386=yes
    FENWARR_WINE_I386_VIA=$(fw_emulation_text "$handler")
  elif [ "${FENWARR_WINE_ASSUME_NO_IA32:-0}" = 1 ]; then
    FENWARR_WINE_I386=no
    FENWARR_WINE_I386_WHY="FENWARR_WINE_ASSUME_NO_IA32=1 treats this kernel as running no 32-bit code, and $(fw_why_no_emulation)"
  elif fw_wine32_start; then
    FENWARR_WINE_I386=yes
  elif [ "$FW_WINE32_START" = no-ia32 ]; then
    FENWARR_WINE_I386=no
    FENWARR_WINE_I386_WHY="this kernel runs no 32-bit code, and $(fw_why_no_emulation)"
  else
    FENWARR_WINE_I386=no
    FENWARR_WINE_I386_WHY="Wine's 32-bit loader does not start here ($FW_WINE32_ERROR)"
  fi
  export FENWARR_WINE_I386 FENWARR_WINE_I386_WHY FENWARR_WINE_I386_VIA
}

fw_i386_line() {
  if [ "$FENWARR_WINE_I386" = no ]; then
    echo "Wine: 64-bit-only mode: $FENWARR_WINE_I386_WHY."
    echo "  64-bit prefixes only; the 32-bit road runs the x86-64 road-test build; what needs WOW64 is skipped."
  elif [ -n "$FENWARR_WINE_I386_VIA" ]; then
    echo "Wine: emulated 32-bit mode: 32-bit programs run under $FENWARR_WINE_I386_VIA."
    echo "  The shipped i686 programs run in 32-bit and 64-bit prefixes, as on a kernel that runs them itself."
  else
    echo "Wine: native 32-bit mode: this kernel runs 32-bit programs."
    echo "  The shipped i686 programs run in 32-bit and 64-bit prefixes."
  fi | fw_wrap
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
