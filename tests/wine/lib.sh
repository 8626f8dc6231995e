# shellcheck shell=bash
# tests/wine/lib.sh: the Wine test bed of FenwarrSetup.exe, sourced by the
# scenario scripts in this folder and by scripts/demo.
#
# A test is one throwaway Wine prefix, hard-link cloned from a cached master
# prefix (one per architecture), dressed with the sample driver package, the
# tool, an emulated Windows version and fake device nodes, then the tool is run
# once under dbgmon.exe and its debugger strings, exit code, files and
# registry are checked.
#
#   fw_require_wow64 WHAT         skip (77) where 32-bit programs cannot run
#   fw_begin NAME ARCH            clone a prefix for the ARCH road (win32 | win64)
#   fw_set_version VERSION        win2k winxp winxp64 win2003 vista win7 win8 ...
#   fw_seed_device ...            fake device nodes (see below)
#   fw_install_package [...]      the package folder, optionally incomplete
#   fw_install_tool [WINDIR]      FenwarrSetup.exe, FenwarrUninstall.exe (+ Fenwarr64.exe)
#   fw_use_program NAME           which of them fw_run starts
#   fw_install_companion          Fenwarr64.exe alone, run directly
#   fw_run [ARGS...]              run the tool under dbgmon -> FW_EXIT
#   fw_expect_* / fw_assert_*     expectations and checks
#   fw_end                        verdict; the EXIT trap tears the prefix down
#
# Settings (environment):
#   FENWARR_WIN32_DIR / FENWARR_WIN64_DIR  artefact folders (build/win32, build/win64)
#   FENWARR_WINE_BED     test bed folder (build/wine-bed; build/wine-bed-64only in
#                        the 64-bit-only mode)
#   FENWARR_DBGMON       path of dbgmon.exe (default: looked up in the build folders)
#   FENWARR_WINE_NO_I386=1  the 64-bit-only mode (see loader.sh), as on a machine
#                        that cannot run 32-bit programs
#
# ARCH names the road a scenario proves: win32 is 32-bit Windows (the tool
# handles the devices itself), win64 is 64-bit Windows (the tool runs under
# WOW64 and hands over to the companion). Where 32-bit programs cannot run,
# the win32 road runs in a 64-bit prefix with the x86-64 road-test build of
# the tool, and the scenarios that need WOW64 are skipped.
#   FENWARR_WINE_KEEP=1  keep each test's folder (prefix, trace, logs) afterwards
#   FENWARR_WINE_TIMEOUT seconds one monitored run may take at most (120; 480 under
#                        user-mode emulation), and never more than what is left of
#                        the test's own limit (FENWARR_WINE_TEST_LIMIT, under ctest: fw_run_limit)

# --- Environment: identical for every wine/wineserver call ------------------
# One absolute TMPDIR for all calls: Debian's wine keeps the server socket in
# $TMPDIR/wine-XXXXXX; another TMPDIR would start a second wineserver on the
# same prefix that does not see the first one's registry writes.

FW_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source-path=SCRIPTDIR source=loader.sh
source "$FW_LIB_DIR/loader.sh"
FW_SRC_DIR=$(cd "$FW_LIB_DIR/../.." && pwd)
# The 64-bit-only mode keeps a bed of its own: its 64-bit master (built by the 64-bit loader alone)
# is not one the 32-bit loader can use, and each mode would otherwise rebuild the other's.
if [ "$FENWARR_WINE_I386" = no ]; then
  FW_BED=$(realpath -m "${FENWARR_WINE_BED:-$FW_SRC_DIR/build/wine-bed-64only}")
else
  FW_BED=$(realpath -m "${FENWARR_WINE_BED:-$FW_SRC_DIR/build/wine-bed}")
fi
FW_WIN32_DIR=$(realpath -m "${FENWARR_WIN32_DIR:-$FW_SRC_DIR/build/win32}")
FW_WIN64_DIR=$(realpath -m "${FENWARR_WIN64_DIR:-$FW_SRC_DIR/build/win64}")
# Under user-mode emulation the 32-bit setup API runs about ten times slower (5,000 nodes: 1.4 ms
# each natively, 11 to 24 ms emulated).
if [ -n "$FENWARR_WINE_I386_VIA" ]; then FW_TIMEOUT=${FENWARR_WINE_TIMEOUT:-480}; else FW_TIMEOUT=${FENWARR_WINE_TIMEOUT:-120}; fi
# Under ctest, the test's own limit (its TIMEOUT, handed down as FENWARR_WINE_TEST_LIMIT by
# tests/wine/CMakeLists.txt, where every limit is set) becomes a deadline, in seconds since the epoch,
# 20 s before it, for the report and the teardown of a hung run; exported, so that a script the test
# starts (tools/dbgmon/tests/burst.sh) keeps the same one. SECONDS counts from the test's start.
if [ -n "${FENWARR_WINE_TEST_LIMIT:-}" ] && [ -z "${FENWARR_WINE_DEADLINE:-}" ]; then
  FENWARR_WINE_DEADLINE=$(($(date +%s) - SECONDS + FENWARR_WINE_TEST_LIMIT - 20))
  export FENWARR_WINE_DEADLINE
fi

# fw_run_limit: the seconds the next run may take: FW_TIMEOUT, or less before the deadline, so that a
# run that hangs ends in time to fail under its own name, never as a bare ctest time-out.
fw_run_limit() {
  local left=$FW_TIMEOUT
  [ -z "${FENWARR_WINE_DEADLINE:-}" ] || left=$((FENWARR_WINE_DEADLINE - $(date +%s)))
  [ "$left" -lt "$FW_TIMEOUT" ] || left=$FW_TIMEOUT
  [ "$left" -ge 5 ] || left=5
  echo "$left"
}

# fw_hung STEP LIMIT [MORE]: a run of the scenario's prefix did not end within LIMIT s. Its processes are
# stopped and the scenario ends: what follows a hung run says nothing more, and would outlast the test's
# limit.
fw_hung() {
  fw_wineserver -k >/dev/null 2>&1 || true
  fw_fail "$1: the run did not end within $2 s${3:+ $3}"
  fw_end
}

# fw_timed_out RC: true for the exit status of a run that timeout(1) ended (124, or 137 when it had to
# kill); a program's own status can be any other (taskkill's 128, a wine program's code & 0xFF).
fw_timed_out() { [ "$1" = 124 ] || [ "$1" = 137 ]; }

unset DISPLAY WAYLAND_DISPLAY WINEPREFIX WINEARCH WINESERVER WINELOADER
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export TMPDIR="$FW_BED/tmp"
mkdir -p "$TMPDIR" "$FW_BED/run"

# The tag record that precedes every message of the tool.
FW_TAG='..Install or Uninstall - Vostrel'

# Per-test state.
FW_NAME='' FW_ARCH='' FW_PREFIX_ARCH='' FW_DIR='' FW_PREFIX='' FW_TOOL_WIN='' FW_EXIT=''
FW_FAILS=0
FW_EXPECT_PID=P1
# More options for dbgmon in fw_run (--all: every sender, for a run whose programs are not the command's
# descendants).
FW_DBGMON_OPTS=()

fw_log() { printf '[%s] %s\n' "${FW_NAME:-wine-bed}" "$*" >&2; }

# A broken bed, not a failed check: stop the test at once.
fw_fatal() {
  printf '[%s] FATAL: %s\n' "${FW_NAME:-wine-bed}" "$*" >&2
  exit 2
}

# A failed check: recorded, the test goes on and fails in fw_end.
fw_fail() {
  FW_FAILS=$((FW_FAILS + 1))
  printf '[%s] FAIL: %s\n' "${FW_NAME:-wine-bed}" "$*" >&2
}

# wine / wineserver / reg on the current prefix, stdout+stderr to the test log.
# Each within fw_run_limit: one that hangs fails under its own command line.
fw_wine() {
  local limit rc=0
  limit=$(fw_run_limit)
  WINEPREFIX="$FW_PREFIX" timeout --kill-after=10 "$limit" "${FW_WINE_CMD[@]}" "$@" || rc=$?
  fw_timed_out "$rc" && fw_fail "wine $*: the run did not end within $limit s"
  return "$rc"
}
fw_wineserver() { WINEPREFIX="$FW_PREFIX" wineserver "$@"; }

fw_require_wine() {
  if ! command -v wine >/dev/null || ! command -v wineserver >/dev/null; then
    fw_fatal "wine is not installed (run scripts/install-deps)"
  fi
}

# The prefix a road runs in: its own, or a 64-bit one where 32-bit programs
# cannot run.
fw_prefix_arch() {
  if [ "$FENWARR_WINE_I386" = no ]; then echo win64; else echo "$1"; fi
}

# True when the win32 road runs the x86-64 road-test build.
fw_road_test() { [ "$FENWARR_WINE_I386" = no ] && [ "$FW_ARCH" = win32 ]; }

# fw_require_wow64 WHAT: a scenario that needs the 32-bit tool under WOW64 is
# reported as skipped (ctest: SKIP_RETURN_CODE 77) where 32-bit programs
# cannot run, with the reason; it never passes there.
fw_require_wow64() {
  [ "$FENWARR_WINE_I386" = no ] || return 0
  printf 'SKIPPED: %s needs the i686 program under WOW64, and %s\n' \
    "$1" "$FENWARR_WINE_I386_WHY" >&2
  exit 77
}

# --- Master prefixes ---------------------------------------------------------
# build/wine-bed/master-win32 and master-win64, built once and reused. The
# stamp file .fenwarr-master holds `wine --version` and the mode (loader.sh);
# a master is rebuilt when the stamp is missing (never finished), names
# another Wine or mode, or a file of its drive_c is newer than the stamp (a
# clone wrote through a hard link).

fw_master_dir() { printf '%s/master-%s' "$FW_BED" "$1"; }

# The Wine version and the mode: a 64-bit master built by the 64-bit loader
# alone has an empty syswow64, which the 32-bit loader cannot use.
fw_master_stamp() { printf '%s, 32-bit programs: %s\n' "$(fw_wine_exec --version)" "$FENWARR_WINE_I386"; }

fw_master_ok() {
  local m stamp
  m=$(fw_master_dir "$1")
  stamp="$m/.fenwarr-master"
  [ -f "$stamp" ] || return 1
  [ "$(cat "$stamp")" = "$(fw_master_stamp)" ] || return 1
  local touched
  touched=$(find "$m/drive_c" "$m/dosdevices" -newer "$stamp" \( -type f -o -type d \) -print -quit 2>/dev/null)
  if [ -n "$touched" ]; then
    fw_log "master $1 was modified after it was built ($touched); rebuilding it"
    return 1
  fi
  return 0
}

# --- Servers -------------------------------------------------------------------
# A prefix's server lives in $TMPDIR/<the name in PREFIX/wineserver>/server-<dev>-<inode>, and that
# folder is the server's working directory. A server outliving its prefix (a run killed mid-way)
# holds its processes, and a later `wineserver -w` there can wait on them for minutes.

# fw_server_pids [DIR]: the wineservers working in DIR (default: anywhere in this bed's TMPDIR).
fw_server_pids() {
  local where=${1:-$TMPDIR/} pid cwd
  for pid in $(pgrep -x 'wineserver|wineserver64|wineserver32' 2>/dev/null); do
    cwd=$(readlink "/proc/$pid/cwd" 2>/dev/null) || continue
    case $cwd/ in "$where"*) echo "$pid" ;; esac
  done
}

# fw_stop_server PREFIX: stops the prefix's server and every process of it, within a bound; what
# does not end on request is killed.
fw_stop_server() {
  local p=$1 name dev ino
  [ -e "$p/wineserver" ] || return 0
  WINEPREFIX="$p" timeout 30 wineserver -k >/dev/null 2>&1 || true
  name=$(cat "$p/wineserver" 2>/dev/null) || return 0
  dev=$(stat -c %D "$p") && ino=$(stat -c %i "$p") || return 0
  fw_server_pids "$TMPDIR/$name/server-$dev-$(printf %x "$ino")" | xargs -r kill -9 2>/dev/null || true
}

# fw_stop_bed_servers: no server of this bed survives (called before the masters are built, when no
# test of this run has started yet).
fw_stop_bed_servers() {
  local p pids
  for p in "$FW_BED"/master-* "$FW_BED"/run/*/prefix; do
    [ -d "$p" ] && fw_stop_server "$p"
  done
  pids=$(fw_server_pids)
  if [ -n "$pids" ]; then
    fw_log "stopping $(wc -w <<<"$pids") wineserver(s) left by an earlier run"
    xargs -r kill -9 <<<"$pids" 2>/dev/null || true
  fi
}

fw_master_build() {
  local arch=$1 m t0
  m=$(fw_master_dir "$arch")
  t0=$(date +%s.%N)
  fw_log "building master prefix $arch in $m"
  fw_stop_server "$m"
  rm -rf "$m"
  mkdir -p "$m"
  # Headless (no DISPLAY): wineboot opens no window and needs no Xvfb.
  local limit rc=0
  limit=$(fw_run_limit)
  WINEPREFIX="$m" WINEARCH="$arch" timeout --kill-after=10 "$limit" "${FW_WINE_CMD[@]}" wineboot --init \
    >"$FW_BED/master-$arch.log" 2>&1 || rc=$?
  if fw_timed_out "$rc"; then
    fw_stop_server "$m"
    fw_fatal "master $arch: the run did not end within $limit s: wineboot --init"
  fi
  [ "$rc" = 0 ] || { cat "$FW_BED/master-$arch.log" >&2; fw_fatal "wineboot failed for $arch"; }
  # A crash must not hang in winedbg: AeDebug Debugger=false, in both registry
  # views of a 64-bit prefix (a crashing 32-bit process reads Wow6432Node).
  local reg="$m/drive_c/fenwarr-master.reg"
  {
    printf 'REGEDIT4\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug]\r\n'
    printf '"Debugger"="false"\r\n\r\n'
    if [ "$arch" = win64 ]; then
      printf '[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug]\r\n'
      printf '"Debugger"="false"\r\n\r\n'
    fi
  } >"$reg"
  WINEPREFIX="$m" fw_wine_exec regedit /S 'C:\fenwarr-master.reg' >>"$FW_BED/master-$arch.log" 2>&1 ||
    fw_fatal "regedit failed on master $arch"
  WINEPREFIX="$m" timeout 300 wineserver -w || fw_fatal "the server of master $arch did not end within 300 s"
  rm -f "$reg"
  # Never re-run wineboot's update because of a stale stamp (11 s per clone).
  echo disable >"$m/.update-timestamp"
  # The stamp is written last: an interrupted build leaves no stamp.
  sleep 1 # the stamp must be strictly newer than every file of the build
  fw_master_stamp >"$m/.fenwarr-master"
  fw_log "master $arch ready in $(awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN{printf "%.1f", b-a}') s"
}

# fw_ensure_master ARCH: build the master if needed; safe to call from
# parallel tests (flock on the bed).
fw_ensure_master() {
  local arch=$1
  case $arch in win32 | win64) ;; *) fw_fatal "unknown architecture '$arch'" ;; esac
  fw_require_wine
  if [ "$arch" = win32 ] && [ "$FENWARR_WINE_I386" = no ]; then
    fw_fatal "no 32-bit prefix can be built: $FENWARR_WINE_I386_WHY"
  fi
  (
    flock 9
    fw_master_ok "$arch" || fw_master_build "$arch"
  ) 9>"$FW_BED/.master-$arch.lock" || exit $?
}

# --- One test: clone, teardown -----------------------------------------------

# fw_sweep: removes what aborted runs left behind: test folders older than
# FENWARR_WINE_SWEEP_MIN minutes (default 120; their wine processes are
# stopped first) and server folders of TMPDIR that no prefix names any more.
fw_sweep() {
  local age=${FENWARR_WINE_SWEEP_MIN:-120} d live=() s
  while IFS= read -r -d '' d; do
    fw_stop_server "$d/prefix"
    fw_log "removing stale test folder $d"
    rm -rf "$d"
  done < <(find "$FW_BED/run" -mindepth 1 -maxdepth 1 -type d -mmin "+$age" -print0)
  for s in "$FW_BED"/master-*/wineserver "$FW_BED"/run/*/prefix/wineserver; do
    if [ -r "$s" ]; then live+=("$(cat "$s")"); fi
  done
  while IFS= read -r -d '' d; do
    case " ${live[*]} " in *" ${d##*/} "*) continue ;; esac
    rm -rf "$d"
  done < <(find "$TMPDIR" -mindepth 1 -maxdepth 1 -type d -name 'wine-*' -mmin +10 -print0)
}

# fw_begin NAME ARCH: a fresh hard-link clone of the master the ARCH road
# runs in, in its own folder build/wine-bed/run/NAME.XXXXXX (unique, so
# ctest -j is safe).
fw_begin() {
  FW_NAME=$1 FW_ARCH=$2
  case $FW_ARCH in win32 | win64) ;; *) fw_fatal "unknown road '$FW_ARCH'" ;; esac
  FW_PREFIX_ARCH=$(fw_prefix_arch "$FW_ARCH")
  fw_ensure_master "$FW_PREFIX_ARCH"
  FW_DIR=$(mktemp -d "$FW_BED/run/$FW_NAME.XXXXXX")
  FW_PREFIX="$FW_DIR/prefix"
  FW_FAILS=0 FW_EXIT='' FW_TOOL_WIN=''
  trap fw_teardown EXIT
  # A test stopped by a signal (ctest's time-out) still tears its prefix down.
  trap 'exit 143' TERM
  trap 'exit 130' INT
  trap 'exit 129' HUP
  local m
  m=$(fw_master_dir "$FW_PREFIX_ARCH")
  mkdir -p "$FW_PREFIX"
  # Registry files are copied (the clone writes them); drive_c is hard-linked:
  # new files in the clone are its own, but overwriting a file that exists in
  # the master would write through to it, which fw_master_ok detects.
  # Shared lock: a master is never rebuilt while it is being cloned.
  if ! (
    flock -s 9
    cp -a "$m"/{system,user,userdef}.reg "$m"/.update-timestamp "$m"/dosdevices "$FW_PREFIX"/ &&
      cp -al "$m"/drive_c "$FW_PREFIX"/
  ) 9>"$FW_BED/.master-$FW_PREFIX_ARCH.lock"; then
    fw_fatal "cannot clone $m"
  fi
  mkdir -p "$FW_PREFIX/drive_c/fenwarr-test"
  : >"$FW_DIR/pending.reg"
  FW_EXPECT_PID=P1
  : >"$FW_DIR/expected"
}

# Stops the prefix's processes before anything is deleted (deleting a live
# prefix orphans its services), then removes the clone and its server folder.
fw_teardown() {
  [ -n "$FW_PREFIX" ] && [ -d "$FW_PREFIX" ] || return 0
  local srv=''
  # Only a prefix that has run wine has a server (asking a never-used prefix
  # to stop would create a server folder for it).
  if [ -e "$FW_PREFIX/wineserver" ]; then
    fw_wineserver -k >/dev/null 2>&1 || true
    fw_wineserver -w >/dev/null 2>&1 || true
    srv=$(cat "$FW_PREFIX/wineserver" 2>/dev/null || true)
  fi
  if [ "${FENWARR_WINE_KEEP:-0}" = 1 ]; then
    fw_log "kept $FW_DIR"
  else
    rm -rf "$FW_DIR"
    case $srv in wine-*) rm -rf "${TMPDIR:?}/$srv" ;; esac
  fi
  FW_PREFIX=''
  return 0
}

# fw_end: the test's verdict (exit status of the script).
fw_end() {
  if [ "$FW_FAILS" -gt 0 ]; then
    fw_dump
    fw_log "$FW_FAILS check(s) failed"
    exit 1
  fi
  fw_log "passed"
  exit 0
}

# Prints what the run left, for a failed test's log.
fw_dump() {
  [ -n "$FW_DIR" ] || return 0
  local f
  for f in trace.norm stdout.txt stderr.txt; do
    [ -s "$FW_DIR/$f" ] || continue
    printf -- '----- %s -----\n' "$f" >&2
    head -c 20000 "$FW_DIR/$f" >&2
  done
}

# fw_sort_store_records <IN >OUT: the uninstall's store records sorted by file name. Our store files
# are found by content, in the order the file system lists C:\windows\inf; each "Store file" record
# pair with its answer is sorted by name, so that order does not matter.
fw_sort_store_records() {
  LC_ALL=C awk '
    function flush(   n, i, j, t) {
      n = 0
      for (k in grp) key[++n] = k
      for (i = 2; i <= n; i++) { t = key[i]; for (j = i - 1; j > 0 && key[j] > t; j--) key[j + 1] = key[j]; key[j + 1] = t }
      for (i = 1; i <= n; i++) printf "%s", grp[key[i]]
      delete grp; delete key
    }
    { line[NR] = $0 }
    END {
      for (i = 1; i <= NR; i++) {
        if (i + 3 <= NR && line[i + 1] ~ /\tStore file: / && line[i + 3] ~ /\tSetupUninstallOEMInf /) {
          grp[tolower(line[i + 1])] = line[i] "\n" line[i + 1] "\n" line[i + 2] "\n" line[i + 3] "\n"
          i += 3
          continue
        }
        flush()
        print line[i]
      }
      flush()
    }'
}

# --- Paths --------------------------------------------------------------------

# fw_unix_path 'C:\A\b.txt' -> the path in the clone, matching each existing
# component case-insensitively as Windows would (missing ones kept as given).
fw_unix_path() {
  local win=$1 drive rest p comp found
  drive=${win:0:1}
  [ "${win:1:1}" = ":" ] || fw_fatal "not a drive path: $win"
  case $drive in c | C) p="$FW_PREFIX/drive_c" ;; *) fw_fatal "only drive C is mapped: $win" ;; esac
  rest=${win:2}
  rest=${rest//\\/\/}
  local comps=()
  IFS=/ read -r -a comps <<<"$rest"
  for comp in "${comps[@]}"; do
    [ -n "$comp" ] || continue
    if [ -e "$p/$comp" ] || [ -L "$p/$comp" ]; then
      p="$p/$comp"
      continue
    fi
    found=''
    if [ -d "$p" ]; then
      found=$(find "$p" -mindepth 1 -maxdepth 1 -iname "$(printf '%s' "$comp" | sed 's/[][*?\\]/\\&/g')" -printf '%f\n' 2>/dev/null | head -n 1)
    fi
    p="$p/${found:-$comp}"
  done
  printf '%s\n' "$p"
}

# The install folder of the package half and of the tool, per architecture:
# 32-bit Windows: C:\Program Files\Zamtre_Driver\fenwarr\Win32
# 64-bit Windows: C:\Program Files (x86)\Zamtre_Driver\fenwarr\Win64
fw_install_root_win() {
  case $FW_ARCH in
    win32) printf '%s' 'C:\Program Files\Zamtre_Driver' ;;
    win64) printf '%s' 'C:\Program Files (x86)\Zamtre_Driver' ;;
  esac
}
fw_package_dir_win() {
  case $FW_ARCH in
    win32) printf '%s' "$(fw_install_root_win)"'\fenwarr\Win32' ;;
    win64) printf '%s' "$(fw_install_root_win)"'\fenwarr\Win64' ;;
  esac
}
fw_package_src() {
  case $FW_ARCH in
    win32) printf '%s/package' "$FW_WIN32_DIR" ;;
    win64) printf '%s/package' "$FW_WIN64_DIR" ;;
  esac
}

# The files of a package half, in the tool's order (for the tests).
# shellcheck disable=SC2034
FW_COINSTALLERS=(WinUSBCoInstaller2.dll WdfCoInstaller01009.dll)
# shellcheck disable=SC2034
FW_INFS=(Halvex_mdm.inf Halvex_ser.inf Halvex_adb.inf cdc-acm.inf WceIS.inf usbvcom_brom.inf usbvcom.inf)

# --- Dressing the prefix ------------------------------------------------------

# fw_install_package [--omit FILE]... [--none] [--if-present]
#   copies the built package half into the package folder of the prefix.
#   --omit FILE   leave FILE out (repeatable); --none: no folder at all;
#   --if-present  no error when the package has not been built.
fw_install_package() {
  local omit=() none=0 ifp=0 src dst f
  while [ $# -gt 0 ]; do
    case $1 in
      --omit) omit+=("$2"); shift 2 ;;
      --none) none=1; shift ;;
      --if-present) ifp=1; shift ;;
      *) fw_fatal "fw_install_package: unknown option $1" ;;
    esac
  done
  [ "$none" = 1 ] && return 0
  src=$(fw_package_src)
  if [ ! -d "$src" ]; then
    [ "$ifp" = 1 ] && { fw_log "package $src not built; folder left empty"; return 0; }
    fw_fatal "package not built: $src"
  fi
  dst=$(fw_unix_path "$(fw_package_dir_win)")
  mkdir -p "$dst"
  for f in "$src"/*; do
    [ -f "$f" ] || continue
    local skip=0 o
    for o in "${omit[@]}"; do [ "$(basename "$f")" = "$o" ] && skip=1; done
    [ "$skip" = 1 ] || cp "$f" "$dst/"
  done
}

# Locates dbgmon.exe: the 32-bit build, which runs in both prefixes, or the
# x86-64 one where 32-bit programs cannot run.
fw_dbgmon_path() {
  local c dir=$FW_WIN32_DIR
  [ "$FENWARR_WINE_I386" = no ] && dir=$FW_WIN64_DIR
  for c in "${FENWARR_DBGMON:-}" "$dir/dbgmon.exe" "$dir/tools/dbgmon/dbgmon.exe"; do
    [ -n "$c" ] && [ -f "$c" ] && { printf '%s\n' "$c"; return 0; }
  done
  return 1
}

# dbgmon.exe into C:\fenwarr-test, where fw_run starts it.
fw_install_dbgmon() {
  local mon
  mon=$(fw_dbgmon_path) || fw_fatal "dbgmon.exe not built (looked in $FW_WIN32_DIR and $FW_WIN64_DIR)"
  cp "$mon" "$FW_PREFIX/drive_c/fenwarr-test/dbgmon.exe"
}

# fw_program_exe NAME: the FenwarrSetup.exe or FenwarrUninstall.exe a
# scenario runs: the product, or on the win32 road where 32-bit programs
# cannot run, the x86-64 road-test build.
fw_program_exe() {
  if fw_road_test; then
    printf '%s/road-test/%s' "$FW_WIN64_DIR" "$1"
  else
    printf '%s/%s' "$FW_WIN32_DIR" "$1"
  fi
}

# fw_install_tool [WINDIR]: copies FenwarrSetup.exe and FenwarrUninstall.exe,
# and Fenwarr64.exe when it has been built, into WINDIR (default: the install
# root, beside the package folder) and dbgmon.exe into C:\fenwarr-test. Sets
# FW_TOOL_WIN to the setup program (fw_use_program picks another).
#   --no-companion: leave Fenwarr64.exe out.
fw_install_tool() {
  local comp=1 dir
  [ "${1:-}" = --no-companion ] && { comp=0; shift; }
  dir=${1:-$(fw_install_root_win)}
  local setup uninstall companion="$FW_WIN64_DIR/Fenwarr64.exe" ud
  setup=$(fw_program_exe FenwarrSetup.exe)
  uninstall=$(fw_program_exe FenwarrUninstall.exe)
  [ -f "$setup" ] || fw_fatal "FenwarrSetup.exe not built: $setup (scripts/test builds the win32 and win64 presets)"
  [ -f "$uninstall" ] || fw_fatal "FenwarrUninstall.exe not built: $uninstall"
  fw_install_dbgmon
  ud=$(fw_unix_path "$dir")
  mkdir -p "$ud"
  cp "$setup" "$uninstall" "$ud/"
  if [ "$comp" = 1 ] && [ -f "$companion" ]; then cp "$companion" "$ud/"; fi
  FW_TOOL_WIN="$dir\\FenwarrSetup.exe"
}

# fw_use_program NAME: the next fw_run starts NAME (FenwarrSetup.exe or
# FenwarrUninstall.exe) from the folder fw_install_tool filled.
fw_use_program() { FW_TOOL_WIN="${FW_TOOL_WIN%\\*}\\$1"; }

# fw_install_companion: Fenwarr64.exe alone in the install root, to be run
# directly (the native half of the 64-bit road), and dbgmon.exe. Sets
# FW_TOOL_WIN to the companion.
fw_install_companion() {
  local companion="$FW_WIN64_DIR/Fenwarr64.exe" dir ud
  [ "$FW_ARCH" = win64 ] || fw_fatal "the companion runs on the win64 road only"
  [ -f "$companion" ] || fw_fatal "Fenwarr64.exe not built: $companion"
  fw_install_dbgmon
  dir=$(fw_install_root_win)
  ud=$(fw_unix_path "$dir")
  mkdir -p "$ud"
  cp "$companion" "$ud/"
  FW_TOOL_WIN="$dir\\Fenwarr64.exe"
}

# --- Registry seeding (REGEDIT4, imported with one regedit call in fw_run) ---

# A REGEDIT4 string: backslashes and quotes escaped.
fw_reg_str() { local s=${1//\\/\\\\}; printf '"%s"' "${s//\"/\\\"}"; }

# hex(7): the ANSI bytes of each string, a NUL after each, a final NUL.
fw_hex7() {
  { local s; for s; do printf '%s\0' "$s"; done; printf '\0'; } |
    od -An -v -tx1 | tr -s ' \n' ',,' | sed 's/^,//;s/,$//'
}

fw_reg_add() { printf '%s\r\n' "$@" >>"$FW_DIR/pending.reg"; }

# fw_set_version VERSION: HKCU\Software\Wine "Version" (win2k, winxp, winxp64,
# win2003, vista, win2008, win7, win2008r2, win8, win81, win10 ...).
fw_set_version() {
  fw_reg_add '[HKEY_CURRENT_USER\Software\Wine]' "\"Version\"=$(fw_reg_str "$1")" ''
}

FW_DEFAULT_CLASS='{88bae032-5a81-49f0-bc3d-a4ff138216d6}' # USBDevice

# fw_seed_device [--driver VALUE] [--class GUID] [--sz] ENUM DEVICE INSTANCE HWID...
#   a device node at HKLM\System\CurrentControlSet\Enum\ENUM\DEVICE\INSTANCE
#   with a ClassGUID (needed to be enumerated at all), the hardware IDs as
#   REG_MULTI_SZ (--sz: a REG_SZ holding the first one) and, with --driver,
#   a Driver value (the driver key name, e.g. '{GUID}\0042').
fw_seed_device() {
  local driver='' class=$FW_DEFAULT_CLASS sz=0
  while [ $# -gt 0 ]; do
    case $1 in
      --driver) driver=$2; shift 2 ;;
      --class) class=$2; shift 2 ;;
      --sz) sz=1; shift ;;
      *) break ;;
    esac
  done
  [ $# -ge 3 ] || fw_fatal "fw_seed_device: ENUM DEVICE INSTANCE [HWID...]"
  local key="HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\$1\\$2\\$3"
  shift 3
  fw_reg_add "[$key]" "\"ClassGUID\"=$(fw_reg_str "$class")"
  if [ $# -gt 0 ]; then
    if [ "$sz" = 1 ]; then
      fw_reg_add "\"HardwareID\"=$(fw_reg_str "$1")"
    else
      fw_reg_add "\"HardwareID\"=hex(7):$(fw_hex7 "$@")"
    fi
  fi
  [ -n "$driver" ] && fw_reg_add "\"Driver\"=$(fw_reg_str "$driver")"
  fw_reg_add ''
}

# fw_seed_device_raw [--driver VALUE] [--class GUID] [--type N] ENUM DEVICE INSTANCE HEXBYTES
#   like fw_seed_device, but the HardwareID value holds exactly HEXBYTES
#   ("55,53,42,00" or "55 53 42 00"), of registry type N (default 7,
#   REG_MULTI_SZ): for lists without their final NUL, empty lists and the like.
fw_seed_device_raw() {
  local driver='' class=$FW_DEFAULT_CLASS type=7
  while [ $# -gt 0 ]; do
    case $1 in
      --driver) driver=$2; shift 2 ;;
      --class) class=$2; shift 2 ;;
      --type) type=$2; shift 2 ;;
      *) break ;;
    esac
  done
  [ $# -eq 4 ] || fw_fatal "fw_seed_device_raw: ENUM DEVICE INSTANCE HEXBYTES"
  local key="HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\$1\\$2\\$3" bytes
  bytes=$(printf '%s' "$4" | tr -s ' ' ',' | sed 's/^,//;s/,$//')
  fw_reg_add "[$key]" "\"ClassGUID\"=$(fw_reg_str "$class")" "\"HardwareID\"=hex($type):$bytes"
  [ -n "$driver" ] && fw_reg_add "\"Driver\"=$(fw_reg_str "$driver")"
  fw_reg_add ''
}

# fw_reg_import: imports what was seeded so far with one `wine regedit /S`.
fw_reg_import() {
  [ -s "$FW_DIR/pending.reg" ] || return 0
  local f="$FW_PREFIX/drive_c/fenwarr-test/seed.reg"
  { printf 'REGEDIT4\r\n\r\n'; cat "$FW_DIR/pending.reg"; } >"$f"
  fw_wine regedit /S 'C:\fenwarr-test\seed.reg' >>"$FW_DIR/stderr.txt" 2>&1 ||
    fw_fatal "regedit import failed"
  : >"$FW_DIR/pending.reg"
}

# --- Running the tool ---------------------------------------------------------

# fw_run [ARGS...]: imports the pending registry, runs the tool under dbgmon
# with C:\ as the current directory, and leaves:
#   FW_EXIT             the exit code as wine reports it (code & 0xFF, 124 = timeout)
#   $FW_DIR/trace.raw   dbgmon's records (C:\fenwarr-test\trace.txt)
#   $FW_DIR/trace.norm  the same with the pid column renamed P1, P2, ... in
#                       order of first appearance, \xNN in lower case
#   $FW_DIR/stdout.txt, stderr.txt
# A run that does not end within fw_run_limit fails, named by FW_STEP (default: its command line).
fw_run() {
  [ -n "$FW_TOOL_WIN" ] || fw_fatal "fw_run before fw_install_tool"
  fw_reg_import
  rm -f "$FW_PREFIX/drive_c/fenwarr-test/trace.txt"
  local rc=0 limit
  limit=$(fw_run_limit)
  (cd "$FW_PREFIX/drive_c" &&
    WINEPREFIX="$FW_PREFIX" timeout --kill-after=10 "$limit" \
      "${FW_WINE_CMD[@]}" 'C:\fenwarr-test\dbgmon.exe' "${FW_DBGMON_OPTS[@]}" --out 'C:\fenwarr-test\trace.txt' "$FW_TOOL_WIN" "$@" \
      >"$FW_DIR/stdout.txt" 2>>"$FW_DIR/stderr.txt") || rc=$?
  FW_EXIT=$rc
  fw_timed_out "$rc" && fw_hung "${FW_STEP:-dbgmon $FW_TOOL_WIN $*}" "$limit" "(timeout status $rc)"
  case $rc in
    250) fw_fail "dbgmon: usage error" ;;
    251) fw_fail "dbgmon: the tool could not be started" ;;
    252) fw_fail "dbgmon: another monitor holds the debug buffer" ;;
    253) fw_fail "dbgmon: could not set up the buffer or write the records" ;;
  esac
  local raw="$FW_PREFIX/drive_c/fenwarr-test/trace.txt"
  if [ -f "$raw" ]; then cp "$raw" "$FW_DIR/trace.raw"; else : >"$FW_DIR/trace.raw"; fi
  fw_normalise <"$FW_DIR/trace.raw" >"$FW_DIR/trace.norm"
}

# pid column -> P1, P2, ... by first appearance; \xNN -> lower case; CR dropped.
fw_normalise() {
  awk '
    { sub(/\r$/, "") }
    {
      t = index($0, "\t")
      if (t == 0) { print "?\t" $0; next }
      pid = substr($0, 1, t - 1); s = substr($0, t + 1)
      if (!(pid in name)) name[pid] = "P" (++n)
      out = ""
      while ((i = index(s, "\\")) > 0) {
        out = out substr(s, 1, i - 1)
        e = substr(s, i + 1, 1)
        if (e == "x") { out = out "\\x" tolower(substr(s, i + 2, 2)); s = substr(s, i + 4) }
        else { out = out "\\" e; s = substr(s, i + 2) }
      }
      print name[pid] "\t" out s
    }'
}

# fw_escape RAW: RAW in the record form of dbgmon (\\ \n \r \t, \xNN for bytes
# outside 0x20..0x7E).
fw_escape() {
  local LC_ALL=C s=$1 out='' c i n
  for ((i = 0; i < ${#s}; i++)); do
    c=${s:i:1}
    case $c in
      $'\\') out+=$'\\\\' ;;
      $'\n') out+='\n' ;;
      $'\r') out+='\r' ;;
      $'\t') out+='\t' ;;
      *)
        printf -v n '%d' "'$c"
        ((n < 0)) && n=$((n + 256))
        if ((n < 32 || n > 126)); then printf -v c '\\x%02x' "$n"; fi
        out+=$c
        ;;
    esac
  done
  printf '%s' "$out"
}

# --- Expectations ------------------------------------------------------------
# Expected records are built in the order the tool sends them, then compared
# with the normalised trace. Messages are written like the tool's TraceMsg
# calls: a printf format (\n etc. interpreted) and its values.

fw_expect_reset() { : >"$FW_DIR/expected"; FW_EXPECT_PID=P1; }

# fw_expect_pid PN: the process of the records that follow (P1 = the tool).
fw_expect_pid() { FW_EXPECT_PID=$1; }

# fw_expect_untagged FORMAT [VALUES...]: one record, as sent.
fw_expect_untagged() {
  local fmt=$1 raw
  shift
  # shellcheck disable=SC2059 # the format is the message's own format
  printf -v raw -- "$fmt" "$@"
  printf '%s\t%s\n' "$FW_EXPECT_PID" "$(fw_escape "$raw")" >>"$FW_DIR/expected"
}

# fw_expect_msg FORMAT [VALUES...]: one TraceMsg message: the tag record,
# then the formatted message.
fw_expect_msg() {
  printf '%s\t%s\n' "$FW_EXPECT_PID" "$(fw_escape "$FW_TAG")" >>"$FW_DIR/expected"
  fw_expect_untagged "$@"
}

# The Windows version numbers GetVersionExA reports under Wine 8.0 for each
# HKCU\Software\Wine Version value (without a supportedOS manifest entry).
fw_version_numbers() {
  case $1 in
    win2k) echo 5 0 ;;
    winxp) echo 5 1 ;;
    winxp64 | win2003) echo 5 2 ;;
    vista | win2008) echo 6 0 ;;
    win7 | win2008r2) echo 6 1 ;;
    win8 | win81 | win10) echo 6 2 ;;
    *) fw_fatal "no version numbers known for '$1'" ;;
  esac
}

# fw_expect_setup_head VERSION [START]: the records every run starts with, up
# to and including the platform line(s): the start message (default "Setup
# Device\n"; the uninstaller's is "Uninstall Device\n"), the system path, the
# version numbers and the classification. A 32-bit process in the win64 prefix
# runs under WOW64, so it takes the 64-bit lines.
fw_expect_setup_head() {
  local major minor bits=32
  read -r major minor <<<"$(fw_version_numbers "$1")"
  [ "$FW_ARCH" = win64 ] && bits=64
  fw_expect_msg "${2:-Setup Device\n}"
  # GetSystemDirectoryA gives C:\windows\system32 in both prefixes (a WOW64
  # process sees system32, redirected to syswow64 underneath).
  fw_expect_msg 'System path: %s' 'C:\windows\system32'
  fw_expect_msg 'VerInf.dwMajorVersion: %d' "$major"
  fw_expect_msg 'VerInf.dwMinorVersion: %d' "$minor"
  case "$major.$minor" in
    5.1 | 5.2) fw_expect_msg "Setup device for Windows XP$bits\\n" ;;
    6.0) fw_expect_msg "Setup device for Windows Vista$bits\\n" ;;
    6.1) fw_expect_msg "Setup device for Windows7 $bits\\n" ;;
    *)
      fw_expect_msg 'It is other OS, win2k or win8, do continue \n'
      fw_expect_msg "Setup device for Windows os is $bits\\n"
      ;;
  esac
}

# --- Checks -------------------------------------------------------------------

fw_assert_exit() {
  [ "$FW_EXIT" = "$1" ] || fw_fail "exit code $FW_EXIT, expected $1"
}

# fw_assert_trace_head: the trace starts with exactly the expected records;
# whatever follows them is not looked at.
fw_assert_trace_head() {
  local n
  n=$(wc -l <"$FW_DIR/expected")
  head -n "$n" "$FW_DIR/trace.norm" >"$FW_DIR/trace.head"
  diff -u --label expected --label actual "$FW_DIR/expected" "$FW_DIR/trace.head" >&2 ||
    fw_fail "the trace does not start with the expected $n records"
}

# fw_accept_inf_0x7a: Wine 8.0's SetupCopyOEMInfA (the ANSI wrapper) reads an
# uninitialised size and name after a failed call, so the last error is often
# ERROR_INSUFFICIENT_BUFFER (0x7a) instead of the real one (Windows: 0x2 or
# 0x3 for a missing file, 0x5 for a directory); the 32-bit build gives 0x7a
# far more often than the x86-64 one. Where the expectation has an INF
# failure record of the same process and the trace has 0x7a in its place, the
# record is accepted as expected; any other code still fails the comparison.
# trace.wine keeps what Wine gave.
fw_accept_inf_0x7a() {
  cp "$FW_DIR/trace.norm" "$FW_DIR/trace.wine"
  awk -v expfile="$FW_DIR/expected" '
    BEGIN { while ((getline l < expfile) > 0) e[++n] = l }
    {
      line = $0
      if (line ~ /\tSetupCopyOEMInf failed, error code: 0x7a\\n$/ &&
          e[FNR] ~ /\tSetupCopyOEMInf failed, error code: 0x[0-9a-f]+\\n$/ &&
          substr(line, 1, index(line, "\t")) == substr(e[FNR], 1, index(e[FNR], "\t"))) {
        if (e[FNR] != line) folded++
        line = e[FNR]
      }
      print line
    }
    END { if (folded) printf "Wine gave 0x7a for %d INF failure(s); accepted\n", folded > "/dev/stderr" }
  ' "$FW_DIR/trace.wine" >"$FW_DIR/trace.norm"
}

# fw_assert_trace: the trace is exactly the expected records.
fw_assert_trace() {
  diff -u --label expected --label actual "$FW_DIR/expected" "$FW_DIR/trace.norm" >&2 ||
    fw_fail "the trace differs from the expected records"
}

fw_assert_file_present() {
  [ -f "$(fw_unix_path "$1")" ] || fw_fail "file absent: $1"
}
fw_assert_file_absent() {
  [ ! -e "$(fw_unix_path "$1")" ] || fw_fail "file present: $1"
}

# fw_assert_files_equal WINPATH LOCALFILE: same bytes.
fw_assert_files_equal() {
  cmp -s "$(fw_unix_path "$1")" "$2" || fw_fail "$1 differs from $2 (or is absent)"
}

# Registry checks through `wine reg query`: the live registry (the .reg files
# are written only when the server flushes).
fw_reg_exists() { fw_wine reg query "$1" >/dev/null 2>>"$FW_DIR/stderr.txt"; }
fw_assert_key_present() { fw_reg_exists "$1" || fw_fail "registry key absent: $1"; }
fw_assert_key_absent() { ! fw_reg_exists "$1" || fw_fail "registry key present: $1"; }

# The key of a seeded device node.
fw_device_key() { printf 'HKLM\\System\\CurrentControlSet\\Enum\\%s\\%s\\%s' "$1" "$2" "$3"; }

# --- Whole-run records and registry snapshots (device and hostile-input scenarios)

# fw_expect_deployment: the records of a whole successful deployment into a
# fresh prefix: both co-installers copied, then the seven INFs staged (a first
# copy keeps its own name in C:\windows\inf under Wine).
fw_expect_deployment() {
  local f
  for f in "${FW_COINSTALLERS[@]}"; do fw_expect_coinstaller "$f"; done
  for f in "${FW_INFS[@]}"; do fw_expect_inf "$f"; done
}

FW_ENUM_KEY='HKLM\System\CurrentControlSet\Enum'

# fw_reg_snapshot NAME [KEY]: saves `reg query KEY /s` (default: the whole Enum
# tree) as NAME. Device enumeration upper-cases each listed node's ClassGUID
# and may add a Class value; both are normalised away.
fw_reg_snapshot() {
  local key=${2:-$FW_ENUM_KEY}
  printf '%s\n' "$key" >"$FW_DIR/$1.snapkey"
  fw_wine reg query "$key" /s 2>>"$FW_DIR/stderr.txt" | fw_reg_snapshot_norm >"$FW_DIR/$1.snap" ||
    fw_fatal "reg query $key failed"
}
fw_reg_snapshot_norm() {
  awk '{ sub(/\r$/, "") }
       /^    Class    REG_SZ    / { next }
       /^    ClassGUID    REG_SZ    / { $0 = substr($0, 1, 27) toupper(substr($0, 28)) }
       { print }'
}

# fw_assert_reg_snapshot NAME [REMOVED_KEY...]: the registry under NAME's key
# now reads exactly as NAME did, less the REMOVED_KEYs and all their subkeys
# (HKLM\... form, compared without case). Each REMOVED_KEY must be in NAME.
fw_assert_reg_snapshot() {
  local name=$1 key k drop=''
  shift
  key=$(cat "$FW_DIR/$name.snapkey")
  for k; do drop+="${k/#HKLM\\/HKEY_LOCAL_MACHINE\\}"$'\n'; done
  fw_reg_snapshot "$name.now" "$key"
  FW_DROP=$drop awk -v miss="$FW_DIR/$name.missing" '
    BEGIN { n = split(ENVIRON["FW_DROP"], o, "\n"); for (i = 1; i <= n; i++) d[i] = tolower(o[i]) }
    /^HKEY_/ {
      skip = 0; k = tolower($0)
      for (i = 1; i <= n; i++) {
        if (d[i] == "") continue
        if (k == d[i]) seen[i] = 1
        if (k == d[i] || index(k, d[i] "\\") == 1) skip = 1
      }
    }
    !skip
    END { for (i = 1; i <= n; i++) if (d[i] != "" && !seen[i]) print o[i] >miss }' \
    "$FW_DIR/$name.snap" >"$FW_DIR/$name.expected"
  if [ -s "$FW_DIR/$name.missing" ]; then
    while IFS= read -r k; do fw_fail "removed key not in snapshot $name: $k"; done <"$FW_DIR/$name.missing"
  fi
  diff -u --label "$name minus removed keys" --label "now" "$FW_DIR/$name.expected" "$FW_DIR/$name.now.snap" >&2 ||
    fw_fail "the registry under $key differs from snapshot $name minus the removed keys"
}

# --- Expectations of the deployment steps and the 64-bit hand-off -------------

# fw_expect_coinstaller NAME [CODE]: one co-installer copy from the package
# folder to C:\windows\system32 (what GetSystemDirectoryA says to a native and
# to a WOW64 process alike); with CODE, the failed copy's error and the setup
# run's own message. In the companion (P2) the failure message is the same.
fw_expect_coinstaller() {
  fw_expect_msg 'ExistingFileName: %s\n' "$(fw_package_dir_win)\\$1"
  fw_expect_msg 'NewFileName: %s\n' "C:\\windows\\system32\\$1"
  if [ $# -ge 2 ]; then
    fw_expect_msg 'CopyFile failed!, code is %d \n' "$2"
    fw_expect_msg 'Copy CoInstall %s failed!\n' "$1"
  fi
}

# fw_expect_inf NAME [HEXCODE]: one INF staged from the package folder. Success:
# Wine 8.0 keeps the INF's own name in C:\windows\inf on the first copy (and
# gives that name back for identical content later) instead of an oemN.inf.
# With HEXCODE (hex digits, no 0x): the failure record.
fw_expect_inf() {
  fw_expect_msg 'Full name: %s\n' "$(fw_package_dir_win)\\$1"
  if [ $# -ge 2 ]; then
    fw_expect_msg 'SetupCopyOEMInf failed, error code: 0x%s\n' "$2"
  else
    fw_expect_msg 'SetupCopyOEMInf success, destpath is %s\n' "C:\\windows\\inf\\$1"
  fi
}

# fw_expect_handoff [--uninstall]: the tool's records of the 64-bit hand-off,
# for the tool as fw_install_tool placed it (the companion is looked for in its
# folder); with --uninstall, the uninstaller's, which passes the word.
fw_expect_handoff() {
  local dir=${FW_TOOL_WIN%\\*} command='(null)'
  if [ "${1:-}" = --uninstall ]; then
    fw_expect_msg 'Uninstall for 64bit OS\n'
    command='Fenwarr64.exe /uninstall'
  else
    fw_expect_msg 'Setup for 64bit OS, line: %d' 1715
  fi
  fw_expect_msg 'Module path: [%s], line: %d' "$dir" 1718
  fw_expect_msg 'Setup64 full name: [%s], line: %d' "$dir\\Fenwarr64.exe" 1720
  fw_expect_msg '---OpenAP---'
  fw_expect_msg 'pModule: %s\n' "$dir\\Fenwarr64.exe"
  # pPath (and the setup run's pCommand) are null: wsprintfA prints "(null)"
  # for a null %s.
  fw_expect_msg 'pPath: %s\n' '(null)'
  fw_expect_msg 'pCommand: %s\n' "$command"
}

# fw_expect_companion_head [--uninstall]: the companion's first records (its
# own process, 64-bit, so its system directory is the native system32).
fw_expect_companion_head() {
  if [ "${1:-}" = --uninstall ]; then
    fw_expect_msg 'Uninstall Device, 64bit companion\n'
  else
    fw_expect_msg 'Setup Device, 64bit companion\n'
  fi
  fw_expect_msg 'System path: %s' 'C:\windows\system32'
}
