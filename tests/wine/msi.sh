#!/usr/bin/env bash
# msi.sh ARCH
#
# The shipped installer (scripts/release: the sample package, unsigned; FENWARR_MSI names it, and
# FENWARR_MSI_NEXT the same as the next version; both built by msi-build.sh) in a fresh ARCH prefix,
# emulated Windows 7. The custom actions (FenwarrAction.dll) record each run of our programs in
# C:\windows\Logs\Fenwarr and write its report into the MSI log (/l*v), as an administrator's deployment
# sees it; one step runs under dbgmon instead, which then holds the debug-output buffer:
#   failed    msiexec /i /qn /l*v with a folder where the native co-installer copy goes: 1603, the log
#             names the co-installer, the setup run is recorded and its error event reported, the rollback
#             action ran, the product is not listed and our program files are gone, the event source
#             stays registered with its message file in the record folder; of 25 earlier records the
#             newest 20 stay, and a file not ours.
#   install   msiexec /i /qn /l*v while a stranger sends on the Global\ names every 100 ms: the half of this
#             Windows at its path and the other half absent, Fenwarr64.exe only on 64-bit Windows; the record
#             is exactly the setup run (on win64 with the installed Fenwarr64.exe's), with its header, and
#             none of the stranger's strings; the capture ended within 2 s of the run; the log holds the
#             report's lines and the verdict; the co-installers are in the system directory, the INFs
#             staged; the product is listed in Apps & Features with its publisher.
#   again     msiexec /i /qn of the same MSI in a Wine server where no desktop's process runs yet, then
#             of the same version built once more (FENWARR_MSI_REBUILT): nothing runs, nothing changes,
#             one listing; dbgmon ends within 3 s of msiexec each time.
#   failed-upgrade  the next version with the failed copy: 1603; what Wine leaves (it removes the older
#             product outside the script) is asserted and explained at the step; the older one again.
#   upgrade   msiexec /i /qn of the next version (FENWARR_MSI_NEXT) under dbgmon --all: the custom actions
#             say in the log that they cannot record (another monitor holds the buffer) and the install
#             goes on; the older one is removed first, its uninstall run (dbgmon's record) with its package
#             still in place and ended (companion included) before the newer one's setup run starts; one
#             listing, of the newer version. Wine's msiexec keeps that order whatever the tables say, so
#             both MSIs' tables are read too (msi-check).
#   downgrade msiexec /i /qn of the older version again: refused (1603), nothing runs, nothing changes.
#   removal   msiexec /x /qn /l*v: FenwarrUninstall.exe ran before the files went (on win64 through the
#             companion's uninstall mode), recorded and reported in the log; our files and the listing are
#             gone, the co-installers kept.
#   aimed     a link where the record folder goes: nothing is written through it, the install goes on.
#   partial   the failed copy again with FENWARR_ALLOW_PARTIAL=1: a warning, and the product is listed.
# The custom actions start the i686 FenwarrSetup.exe and FenwarrUninstall.exe: where 32-bit programs
# cannot run, both cases are skipped.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "$0")/lib.sh"

[ $# -eq 1 ] || fw_fatal "usage: msi.sh win32|win64"
arch=$1
case $arch in win32 | win64) ;; *) fw_fatal "unknown road '$arch'" ;; esac
if [ "$FENWARR_WINE_I386" = no ]; then
  printf 'SKIPPED: the MSI on the %s road needs its custom actions to start the i686 programs, and %s\n' \
    "$arch" "$FENWARR_WINE_I386_WHY" >&2
  exit 77
fi
msi=${FENWARR_MSI:-} msi_rebuilt=${FENWARR_MSI_REBUILT:-} msi_next=${FENWARR_MSI_NEXT:-}
for f in "$msi" "$msi_rebuilt" "$msi_next"; do
  [ -f "$f" ] || fw_fatal "the MSI is not built: '$f' (the wine-msi fixture runs msi-build.sh)"
done
version=${FENWARR_VERSION:?the version of FENWARR_MSI}
IFS=. read -r major minor build <<<"$version"
version_next="$major.$minor.$((build + 1))"

fw_begin "msi-$arch" "$arch"
fw_set_version win7
fw_reg_import
fw_install_dbgmon
cp "$FW_WIN32_DIR/tools/dbgmon/odsburst.exe" "$FW_PREFIX/drive_c/fenwarr-test/odsburst.exe"
# On 64-bit Windows the x86-64 monitor starts the native msiexec.exe, as Windows' installer service
# is native there (and faster where 32-bit programs run emulated); only the custom actions'
# programs are i686.
if [ "$arch" = win64 ] && [ -f "$FW_WIN64_DIR/tools/dbgmon/dbgmon.exe" ]; then
  cp "$FW_WIN64_DIR/tools/dbgmon/dbgmon.exe" "$FW_PREFIX/drive_c/fenwarr-test/dbgmon.exe"
fi
cp "$msi" "$FW_PREFIX/drive_c/fenwarr-test/package.msi"
cp "$msi_next" "$FW_PREFIX/drive_c/fenwarr-test/package-next.msi"
cp "$msi_rebuilt" "$FW_PREFIX/drive_c/fenwarr-test/package-rebuilt.msi"
msi_win='C:\fenwarr-test\package.msi'
msi_next_win='C:\fenwarr-test\package-next.msi'
msi_rebuilt_win='C:\fenwarr-test\package-rebuilt.msi'

root=$(fw_install_root_win)
half=$(fw_package_dir_win)
src=$(fw_package_src)
if [ "$arch" = win64 ]; then other="$root\\fenwarr\\Win32"; else other="$root\\fenwarr\\Win64"; fi

# msiexec STEP [--exit N] ARGS...: one msiexec run under dbgmon --all (fw_run starts FW_TOOL_WIN with ARGS):
# the custom actions run in processes of their own, not in msiexec's tree. Its exit code must be N (0), and
# dbgmon must end within a few seconds of msiexec itself, as its summary line says: a job object that never
# says its last process has gone must not hold the monitor.
msiexec() {
  local want=0 before after
  FW_STEP=$1
  shift
  if [ "$1" = --exit ]; then want=$2; shift 2; fi
  FW_TOOL_WIN=msiexec.exe FW_DBGMON_OPTS=(--all)
  before=$(cat "$FW_DIR/stderr.txt" 2>/dev/null | wc -l)
  fw_run "$@"
  fw_assert_exit "$want"
  after=$(tail -n +"$((before + 1))" "$FW_DIR/stderr.txt" | tr -d '\r' |
    sed -n 's/^dbgmon: .*, \([0-9]*\) ms after the command$/\1/p' | tail -n 1)
  if [ -z "$after" ] || [ "$after" -gt "$MONITOR_END_MS" ]; then
    fw_fail "$FW_STEP: dbgmon did not end within $MONITOR_END_MS ms of msiexec (${after:-no summary line})"
  fi
  fw_log "$FW_STEP: dbgmon ended ${after:-?} ms after msiexec"
  FW_STEP=''
}
# The monitor's end after its command: its drain takes 1 s at most.
MONITOR_END_MS=3000

# msiexec_logged STEP [--exit N] ARGS...: one msiexec run as a deployment tool starts it, no monitor, with
# a verbose log kept as FW_DIR/STEP.log; its exit code must be N (0). Records newer than FW_DIR/mark are
# this run's.
msiexec_logged() {
  local step=$1 want=0 rc=0 log limit
  shift
  if [ "$1" = --exit ]; then want=$2; shift 2; fi
  touch "$FW_DIR/mark"
  sleep 1 # the records' times are whole seconds
  # Wine keeps no event log: ReportEventW writes the event's strings to its eventlog channel instead.
  limit=$(fw_run_limit)
  (cd "$FW_PREFIX/drive_c" && WINEPREFIX="$FW_PREFIX" WINEDEBUG=-all,+eventlog timeout --kill-after=10 "$limit" \
    "${FW_WINE_CMD[@]}" msiexec.exe "$@" /l*v "C:\\fenwarr-test\\$step.log" >>"$FW_DIR/stdout.txt" 2>"$FW_DIR/$step.events") ||
    rc=$?
  fw_timed_out "$rc" && fw_hung "$step" "$limit" "(msiexec $*)"
  [ "$rc" = "$want" ] || fw_fail "$step: msiexec exited with $rc, not $want"
  log="$FW_PREFIX/drive_c/fenwarr-test/$step.log"
  if [ ! -f "$log" ]; then fw_fail "$step: no MSI log"; : >"$FW_DIR/$step.log"; return 0; fi
  if [ "$(head -c 2 "$log" | od -An -tx1 | tr -d ' ')" = fffe ]; then iconv -f UTF-16LE -t UTF-8 "$log"; else cat "$log"; fi |
    tr -d '\r' >"$FW_DIR/$step.log"
}

# assert_logged STEP LINE...: each LINE (a fixed text) is in the MSI log of STEP after "Fenwarr: ".
assert_logged() {
  local step=$1 l
  shift
  for l in "$@"; do
    grep -qF "Fenwarr: $l" "$FW_DIR/$step.log" || fw_fail "$step: the MSI log has no line 'Fenwarr: $l'"
  done
}

# assert_event STEP KIND TEXT: the Application event of STEP's run, as Wine shows it (KIND err, warn or trace:
# error, warning or information), begins with TEXT.
assert_event() {
  grep -qF "$2:eventlog:ReportEventW L\"$3" "$FW_DIR/$1.events" ||
    fw_fail "$1: no $2 event '$3...': $(grep -a eventlog "$FW_DIR/$1.events" | head -n 3)"
}

# take_record STEM ACTION PROGRAM: this run's one record STEM-ACTION-*.log, kept as FW_DIR/STEM-ACTION.record;
# its header is checked, its strings become the last run's trace (trace.raw, trace.norm) without the time
# column.
take_record() {
  local f n want bits
  mapfile -t f < <(find "$FW_PREFIX/drive_c/windows" -ipath '*/logs/fenwarr/*' -name "$1-$2-*.log" -newer "$FW_DIR/mark")
  n=${#f[@]}
  [ "$n" = 1 ] || { fw_fail "$1-$2: $n records, not 1"; : >"$FW_DIR/trace.raw"; : >"$FW_DIR/trace.norm"; return 0; }
  cp "${f[0]}" "$FW_DIR/$1-$2.record"
  bits=x86
  [ "$arch" = win64 ] && bits=x64
  for want in '# Fenwarr record' '# computer: ' '# windows: 6.1 build 7601' "# processor: $bits" "# package: $3" \
    "# program: $1.exe" "# action: $2" '# started: '; do
    head -n 8 "$FW_DIR/$1-$2.record" | grep -qF -- "$want" || fw_fail "$1-$2: the record's header has no '$want'"
  done
  { grep -v '^#' "$FW_DIR/$1-$2.record" || true; } | cut -f 2- >"$FW_DIR/trace.raw"
  fw_normalise <"$FW_DIR/trace.raw" >"$FW_DIR/trace.norm"
}

# A stranger that sends on the Global\ names every 100 ms, as chatty services of session 0 do.
stranger_start() {
  (cd "$FW_PREFIX/drive_c" && WINEPREFIX="$FW_PREFIX" exec "${FW_WINE_CMD[@]}" 'C:\fenwarr-test\odsburst.exe' \
    --every-global 100 >/dev/null 2>>"$FW_DIR/stderr.txt") &
  stranger=$!
}
stranger_stop() { fw_wine taskkill /f /im odsburst.exe >/dev/null 2>&1 || true; wait "$stranger" 2>/dev/null || true; }

# The listing in Apps & Features: every Uninstall key whose DisplayName is the product's, with its values,
# from the normal view or, when it has none, the Wow6432Node twin.
arp_entries() {
  local base
  for base in 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' \
    'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall'; do
    fw_wine reg query "$base" /s 2>>"$FW_DIR/stderr.txt" | tr -d '\r' | awk '
      function flush() { if (hit) printf "%s\n%s", key, body; hit = 0 }
      /^HKEY_/ { flush(); key = $0; body = ""; next }
      { body = body $0 "\n" }
      /^    DisplayName    REG_SZ    Fenwarr Driver Package$/ { hit = 1 }
      END { flush() }' | grep . && return 0
  done
  return 1
}

# assert_listed VERSION: the product is listed once, with its publisher, at VERSION.
assert_listed() {
  local n
  if arp_entries >"$FW_DIR/arp.txt"; then
    n=$(grep -c '^HKEY_' "$FW_DIR/arp.txt")
    [ "$n" = 1 ] || fw_fail "Apps & Features: $n entries named Fenwarr Driver Package"
    grep -qx '    Publisher    REG_SZ    Zamtre' "$FW_DIR/arp.txt" || fw_fail "Apps & Features: no publisher Zamtre"
    grep -qx "    DisplayVersion    REG_SZ    $1" "$FW_DIR/arp.txt" ||
      fw_fail "Apps & Features: not version $1: $(grep DisplayVersion "$FW_DIR/arp.txt")"
    fw_log "listed in Apps & Features: $(head -n 1 "$FW_DIR/arp.txt"), version $1"
  else
    fw_fail "Apps & Features: no entry with DisplayName 'Fenwarr Driver Package'"
  fi
}

# assert_installed: the programs, this Windows' half and nothing of the other.
assert_installed() {
  local f
  fw_assert_files_equal "$root\\FenwarrSetup.exe" "$FW_WIN32_DIR/FenwarrSetup.exe"
  fw_assert_files_equal "$root\\FenwarrUninstall.exe" "$FW_WIN32_DIR/FenwarrUninstall.exe"
  if [ "$arch" = win64 ]; then
    fw_assert_files_equal "$root\\Fenwarr64.exe" "$FW_WIN64_DIR/Fenwarr64.exe"
  else
    fw_assert_file_absent "$root\\Fenwarr64.exe"
  fi
  for f in "$src"/*; do fw_assert_files_equal "$half\\${f##*/}" "$f"; done
  fw_assert_file_absent "$other"
}

# assert_coinstallers: in the system directory (and the 32-bit one), whatever happened since.
assert_coinstallers() {
  local f
  for f in "${FW_COINSTALLERS[@]}"; do
    fw_assert_files_equal "C:\\windows\\system32\\$f" "$src/$f"
    if [ "$arch" = win64 ]; then fw_assert_files_equal "C:\\windows\\syswow64\\$f" "$src/$f"; fi
  done
}

# expect_setup_run PID COMPANION_PID: FenwarrSetup.exe's whole run from the install folder, and on
# 64-bit Windows the companion's. No device is seeded, so neither finds one; Wine's CM_Locate_DevNode_ExA
# is a stub returning CR_FAILURE: no refresh. INFs already in the store are found again under their names.
expect_setup_run() {
  local f
  FW_TOOL_WIN="$root\\FenwarrSetup.exe"
  fw_expect_pid "$1"
  fw_expect_setup_head win7
  fw_expect_deployment
  if [ "$arch" = win64 ]; then
    # shellcheck disable=SC2119 # (no arguments: the setup run's records)
    fw_expect_handoff
    fw_expect_pid "$2"
    # shellcheck disable=SC2119
    fw_expect_companion_head
    for f in "${FW_COINSTALLERS[@]}"; do fw_expect_coinstaller "$f"; done
  fi
  fw_expect_msg 'Get device node failed, return'
}

# expect_uninstall_run PID COMPANION_PID: FenwarrUninstall.exe's whole run, on 64-bit Windows through the
# companion's uninstall mode: our seven store files, each asked out (Wine 8.0 takes none out without
# force: see uninstall.sh), the co-installers kept.
expect_uninstall_run() {
  local f
  FW_TOOL_WIN="$root\\FenwarrUninstall.exe"
  fw_expect_pid "$1"
  fw_expect_setup_head win7 'Uninstall Device\n'
  if [ "$arch" = win64 ]; then
    fw_expect_handoff --uninstall
    fw_expect_pid "$2"
    fw_expect_companion_head --uninstall
  fi
  for f in "${FW_INFS[@]}"; do
    fw_expect_msg 'Store file: %s\n' "C:\\windows\\inf\\$f"
    fw_expect_msg 'SetupUninstallOEMInf success, %s\n' "$f"
  done
  fw_expect_msg 'Co-installers kept: shared with other drivers\n'
  fw_expect_msg 'Get device node failed, return'
}

# assert_uninstall_first: in the last record (in arrival order), every string of the uninstall run's
# processes (the uninstaller, and its companion in uninstall mode) comes before the setup run's first.
assert_uninstall_first() {
  awk -F'\t' '
    !($1 in seen) { seen[$1] = NR }
    $2 ~ /^Uninstall Device/ { u[$1] = 1 }
    $2 ~ /^Setup Device/ && !($1 in s) { s[$1] = 1; if (!start || seen[$1] < start) { start = seen[$1]; sp = $1 } }
    { last[$1] = NR }
    END {
      if (!start || !length(u)) { print "no uninstall run or no setup run"; exit 1 }
      for (p in u) if (last[p] > start) { printf "%s ends at record %d, after %s starts at %d\n", p, last[p], sp, start; bad = 1 }
      exit bad
    }' "$FW_DIR/trace.norm" >"$FW_DIR/order.txt" ||
    fw_fail "the older version's uninstall run does not end before the newer one's setup run: $(cat "$FW_DIR/order.txt")"
}

# assert_record NAME: the last run's record is exactly the expected one (store records sorted); kept as
# NAME.raw for fenwarr-report.
assert_record() {
  cp "$FW_DIR/trace.raw" "$FW_DIR/$1.raw"
  fw_sort_store_records <"$FW_DIR/expected" >"$FW_DIR/expected.sorted"
  mv "$FW_DIR/expected.sorted" "$FW_DIR/expected"
  cp "$FW_DIR/trace.norm" "$FW_DIR/trace.listed"
  fw_sort_store_records <"$FW_DIR/trace.listed" >"$FW_DIR/trace.norm"
  fw_assert_trace
}

# assert_nothing_ran: the last msiexec run started none of our programs.
assert_nothing_ran() {
  [ ! -s "$FW_DIR/trace.norm" ] || { fw_fail "$1 ran something:"; cat "$FW_DIR/trace.norm" >&2; }
}

# --- The order Windows Installer follows ---------------------------------------------

# Both MSIs' InstallExecuteSequence, by scripts/msi-check: the older product removed (its RunUninstall run)
# before InstallInitialize, RunSetup after InstallFiles; so on Windows too the uninstall run ends first.
for m in "$msi" "$msi_next"; do "$FW_SRC_DIR/scripts/msi-check" "$m" >&2 || fw_fail "${m##*/}: out of Windows' order"; done

# --- A failed install: a folder where a co-installer goes ------------------------

# The records of 25 earlier runs, and a file that is not ours, in the record folder: the newest 20 of
# ours stay.
records="$FW_PREFIX/drive_c/windows/logs/Fenwarr"
mkdir -p "$records"
for i in $(seq 10 34); do : >"$records/FenwarrUninstall-removal-20200101-0000$i.log"; done
: >"$records/notes.log"
# The native system directory: on 64-bit Windows, where the companion copies.
blocker="$FW_PREFIX/drive_c/windows/system32/WdfCoInstaller01009.dll"
mkdir "$blocker"
msiexec_logged failed --exit $((1603 & 0xFF)) /i "$msi_win" /qn
assert_logged failed 'verdict: the drivers did not arrive: not copied: WdfCoInstaller01009.dll: the install fails' \
  'Overall: FAILED' 'FenwarrUninstall.exe (rollback) starts'
assert_event failed err 'FenwarrSetup.exe: the drivers did not arrive: not copied: WdfCoInstaller01009.dll. Overall: FAILED'
take_record FenwarrSetup install "$version"
grep -q 'CopyFile failed' "$FW_DIR/trace.norm" || fw_fail "failed: the record holds no failed copy"
# Wine's msiexec removes the installed files before it runs the rollback actions; Windows Installer undoes
# its script from the end, so RollbackSetup runs before InstallFiles is undone (msi-check holds that order).
# Here the action can only say so, and no uninstall run is recorded.
assert_logged failed 'FenwarrUninstall.exe is gone: the installed files were removed before this rollback action'
assert_event failed warn 'FenwarrUninstall.exe is gone: the installed files were removed'
if arp_entries >/dev/null; then fw_fail "Apps & Features: a failed install is listed"; fi
# The event source outlives the rollback: the action registered it itself, outside the script, with the
# message file copied into the record folder (Wine keeps no event log; on Windows the texts show).
fw_wine reg query 'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Fenwarr Driver Package' /v EventMessageFile \
  2>>"$FW_DIR/stderr.txt" | tr -d '\r' | grep -qiF 'C:\windows\Logs\Fenwarr\FenwarrEvents.dll' ||
  fw_fail "failed: the event source is not registered with the message file of the record folder"
[ -f "$records/FenwarrEvents.dll" ] || fw_fail "failed: no message file in the record folder"
fw_assert_file_absent "$root\\FenwarrSetup.exe"
fw_assert_file_absent "$root\\FenwarrUninstall.exe"
kept=$(find "$records" -name 'Fenwarr*.log' | wc -l)
[ "$kept" = 20 ] && [ ! -e "$records/FenwarrUninstall-removal-20200101-000015.log" ] && [ -e "$records/notes.log" ] ||
  fw_fail "failed: the record folder holds $kept records of ours, not the newest 20 (and notes.log)"
rmdir "$blocker"

# --- Install --------------------------------------------------------------------

stranger_start
msiexec_logged install /i "$msi_win" /qn
stranger_stop
take_record FenwarrSetup install "$version"
fw_expect_reset
expect_setup_run P1 P2
assert_record install
assert_logged install 'FenwarrSetup.exe (install) starts' 'Overall: ' 'verdict: the drivers arrived' \
  'record: C:\windows\Logs\Fenwarr\FenwarrSetup-install-' 'FenwarrSetup.exe ended with exit code 1; process tree followed by job object'
# A warning: the refresh always fails under Wine.
assert_event install warn 'FenwarrSetup.exe: the drivers arrived: 2 co-installers copied, 7 INF files staged. Overall: '
drain=$(sed -n 's/.*the capture ended \([0-9]*\) ms after the tree.*/\1/p' "$FW_DIR/install.log" | head -n 1)
if [ -z "$drain" ] || [ "$drain" -ge 2000 ]; then fw_fail "install: the capture did not end within 2 s of the run (${drain:-no figure})"; fi
grep -q 'ms after the tree' "$FW_DIR/install.log" && fw_log "install: $(grep -o '[0-9]* strings recorded, [0-9]* of other.*' "$FW_DIR/install.log" | head -n 1)"
assert_installed
assert_coinstallers
for f in "${FW_INFS[@]}"; do fw_assert_files_equal "C:\\windows\\inf\\$f" "$src/$f"; done
assert_listed "$version"

# --- The same version again -----------------------------------------------------

# What held dbgmon for good in the emulated mode: a Wine server that is still running, started by a console
# program (reg, in the checks above) and lingering, in which no process has needed the desktop's window yet.
# The desktop's own process (explorer.exe /desktop) is then not running when msiexec, under the monitor,
# opens its window: msiexec starts it inside the monitor's job, where it lives as long as the server, and the
# server as long as the monitor. Whether the monitor came within the linger was a matter of timing; here it
# is made sure of: a new server kept 5 s after its last process, started by a console program. The monitor
# now asks for the desktop's window itself before it starts its command (capture/run_command.c).
fw_wineserver -k >/dev/null 2>&1 || true
fw_wineserver -w >/dev/null 2>&1 || true
fw_wineserver -p5
fw_wine cmd /c exit >/dev/null 2>&1 || true
sleep 2 # the server's own start-up processes settle
msiexec again /i "$msi_win" /qn
assert_nothing_ran "a second install of the same MSI"
assert_installed
assert_listed "$version"
# Every build of a version has the same product code: Wine's msiexec sees the product installed and
# runs nothing (Windows refuses such a package with 1638, another version of this product is installed).
msiexec again-rebuilt /i "$msi_rebuilt_win" /qn
assert_nothing_ran "installing the same version built once more"
assert_installed
assert_listed "$version"

# --- A newer version whose setup fails ------------------------------------------------

# On Windows, RemoveExistingProducts right after InstallInitialize puts the older version's removal in
# this install's script: the failure rolls it back, the older RollbackUninstall stages its drivers again
# and the older version stays listed (the order is in docs/maintaining.md, held by msi-check above).
# Wine's msiexec removes the older product at once, outside the script, and removes the installed files
# before it runs the rollback actions. So here: 1603; the older uninstall ran (its record); the newer
# setup staged its INF files, and its RollbackSetup found no uninstaller to take them out again; neither
# version is listed and our program files are gone. The older version is then installed again.
rm -f "$blocker" && mkdir "$blocker" # the install copied the co-installer there
msiexec_logged failed-upgrade --exit $((1603 & 0xFF)) /i "$msi_next_win" /qn
assert_logged failed-upgrade 'verdict: the drivers did not arrive: not copied: WdfCoInstaller01009.dll: the install fails' \
  'FenwarrUninstall.exe is gone: the installed files were removed before this rollback action'
take_record FenwarrUninstall removal "$version"
if arp_entries >/dev/null; then fw_fail "failed-upgrade: Wine left a version listed: $(arp_entries | head -n 1)"; fi
fw_assert_file_absent "$root\\FenwarrSetup.exe"
fw_assert_file_absent "$root\\FenwarrUninstall.exe"
for f in "${FW_INFS[@]}"; do fw_assert_files_equal "C:\\windows\\inf\\$f" "$src/$f"; done
rmdir "$blocker"
msiexec_logged reinstall /i "$msi_win" /qn
assert_installed
assert_listed "$version"

# --- A newer version, then the older one again --------------------------------------

msiexec upgrade /i "$msi_next_win" /qn /l*v 'C:\fenwarr-test\upgrade.log'
grep -aqF 'Fenwarr: this run cannot be recorded: ' "$FW_PREFIX/drive_c/fenwarr-test/upgrade.log" ||
  fw_fail "upgrade: the MSI log does not say that the runs could not be recorded"
assert_uninstall_first
fw_expect_reset
expect_uninstall_run P1 P2
if [ "$arch" = win64 ]; then expect_setup_run P3 P4; else expect_setup_run P2; fi
assert_record upgrade
assert_installed
assert_listed "$version_next"

# Windows Installer's ERROR_INSTALL_FAILURE, 1603: wine gives its low byte.
msiexec downgrade --exit $((1603 & 0xFF)) /i "$msi_win" /qn
assert_nothing_ran "installing the older version over the newer one"
assert_installed
assert_listed "$version_next"

# --- Removal --------------------------------------------------------------------

msiexec_logged removal /x "$msi_next_win" /qn
take_record FenwarrUninstall removal "$version_next"
fw_expect_reset
expect_uninstall_run P1 P2
assert_record removal
assert_event removal warn 'FenwarrUninstall.exe. Overall: '
assert_logged removal 'FenwarrUninstall.exe (removal) starts' 'Overall: ' 'record: C:\windows\Logs\Fenwarr\FenwarrUninstall-removal-'
fw_assert_file_absent "$root\\FenwarrSetup.exe"
fw_assert_file_absent "$root\\FenwarrUninstall.exe"
fw_assert_file_absent "$root\\Fenwarr64.exe"
for f in "$src"/*; do fw_assert_file_absent "$half\\${f##*/}"; done
# Windows Installer takes away the folders it made once they are empty; Wine's does too.
fw_assert_file_absent "$root"
if arp_entries >/dev/null; then fw_fail "Apps & Features: the entry is still there after removal"; fi
# The co-installers are shared with other drivers: they stay.
assert_coinstallers

# --- A record folder that is not ours ----------------------------------------------

# A link in the folder's place, as a user who could write into %windir%\Logs might leave to aim the
# action's writes elsewhere: nothing is written through it, the log says why, the install goes on.
logs=$(find "$FW_PREFIX/drive_c/windows" -maxdepth 1 -iname logs)
mkdir "$FW_DIR/elsewhere"
rm -rf "$logs/Fenwarr" && ln -s "$FW_DIR/elsewhere" "$logs/Fenwarr"
msiexec_logged aimed /i "$msi_win" /qn
assert_logged aimed 'this run cannot be recorded: C:\windows\Logs\Fenwarr is a reparse point or no folder' \
  'the verdict of this run is unknown: it was not recorded'
[ -z "$(ls -A "$FW_DIR/elsewhere")" ] || fw_fail "aimed: the action wrote through the link: $(ls "$FW_DIR/elsewhere")"
assert_listed "$version"

# --- A partial install, asked for -------------------------------------------------

# FENWARR_ALLOW_PARTIAL=1: the same failed copy only warns, and the product stays.
rm "$logs/Fenwarr"
msiexec_logged removed /x "$msi_win" /qn
rm -f "$blocker" && mkdir "$blocker" # the removal keeps the co-installers
msiexec_logged partial /i "$msi_win" /qn FENWARR_ALLOW_PARTIAL=1
assert_logged partial 'verdict: the drivers did not arrive: not copied: WdfCoInstaller01009.dll (a warning: FENWARR_ALLOW_PARTIAL=1)'
assert_listed "$version"

# fenwarr-report's reading of the records, for the log.
report=${FENWARR_REPORT:-$FW_SRC_DIR/build/host/tools/report/fenwarr-report}
if [ -x "$report" ]; then
  for r in install upgrade removal; do
    fw_log "fenwarr-report on the $r record:"
    "$report" "$FW_DIR/$r.raw" >&2 || true
  done
fi
fw_end
