#!/usr/bin/env bash
# Wine test of dbgmon.exe, driven by odsburst.exe.
#
# Usage: burst.sh DBGMON_EXE ODSBURST_EXE [COUNT]
#   COUNT: burst strings in the main run (default 5000).
# Environment:
#   WINE_MASTER    a prepared Wine prefix (wineboot done, server stopped) to hard-link clone instead of
#                  creating a new prefix. Only new files are written in the clone, so the master is never
#                  changed. (WINE_MASTER32 is read when WINE_MASTER is not set.)
#   WINELOADER     when set, the Wine loader to start directly instead of the wine wrapper: a 64-bit
#                  loader on a machine that cannot run 32-bit programs (the programs must then be x86-64
#                  builds, and a new prefix is a 64-bit one).
#   BURST_KEEP=1   keep the temporary folder for inspection.
# Checks: usage errors (250), the burst with exact records, order, escaping and the exit code (7), records on
# standard output, the --time column, argument quoting, an unstartable command (251), a second monitor
# (252, naming the plain names), an unwritable output file (253), the strings of a grandchild that outlives
# the command, and session 0's strings (the Global\ names), alone and beside this session's.
# Exit status: 0 when every check passes, 1 otherwise, 2 on a setup problem.
set -u

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
    echo "usage: $0 DBGMON_EXE ODSBURST_EXE [COUNT]" >&2
    exit 2
fi
dbgmon_exe=$(realpath -e "$1") || exit 2
odsburst_exe=$(realpath -e "$2") || exit 2
count=${3:-5000}

bed=$(mktemp -d "${TMPDIR:-/tmp}/dbgmon-burst.XXXXXX") || exit 2
bed=$(realpath "$bed")
mkdir "$bed/tmp"
# The same absolute TMPDIR for every wine and wineserver call, or a second server starts.
export TMPDIR="$bed/tmp" WINEPREFIX="$bed/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wine() {
    if [ -n "${WINELOADER:-}" ]; then "$WINELOADER" "$@"; else command wine "$@"; fi
}
new_prefix_arch=win32
[ -z "${WINELOADER:-}" ] || new_prefix_arch=win64
master=${WINE_MASTER:-${WINE_MASTER32:-}}

cleanup() {
    # Stop the prefix's processes before deleting it.
    [ -d "$WINEPREFIX" ] && wineserver -k >/dev/null 2>&1
    if [ "${BURST_KEEP:-0}" = 1 ]; then
        echo "kept: $bed"
    else
        rm -rf "$bed"
    fi
}
trap cleanup EXIT

fails=0
pass() { echo "PASS: $*"; }
fail() {
    echo "FAIL: $*"
    fails=$((fails + 1))
}
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

# --- prefix -----------------------------------------------------------------------------------------------
t0=$(now)
if [ -n "$master" ]; then
    master=$(realpath -e "$master") || exit 2
    mkdir -p "$WINEPREFIX"
    if ! cp -a "$master"/{system,user,userdef}.reg "$master"/dosdevices "$WINEPREFIX"/ ||
        ! cp -al "$master"/drive_c "$WINEPREFIX"/; then
        echo "cannot clone $master" >&2
        exit 2
    fi
    if [ -e "$master/.update-timestamp" ]; then
        cp -a "$master/.update-timestamp" "$WINEPREFIX"/
    else
        echo disable >"$WINEPREFIX/.update-timestamp"
    fi
    echo "prefix: cloned $master in $(elapsed "$t0" "$(now)") s"
else
    if ! WINEARCH=$new_prefix_arch wine wineboot --init >/dev/null 2>&1 || ! wineserver -w; then
        echo "wineboot failed" >&2
        exit 2
    fi
    echo disable >"$WINEPREFIX/.update-timestamp"
    echo "prefix: created in $(elapsed "$t0" "$(now)") s"
fi
wineserver -p # keep one server for all the runs below

# Both programs in a folder whose name has a space; new files, so nothing writes through to a master.
work="$WINEPREFIX/drive_c/dbgmon test"
mkdir -p "$work"
rm -f "$work/dbgmon.exe" "$work/odsburst.exe"
cp "$dbgmon_exe" "$work/dbgmon.exe"
cp "$odsburst_exe" "$work/odsburst.exe"
cdrive="$WINEPREFIX/drive_c"
cd "$work" || exit 2

# Runs dbgmon from the work folder (C:\dbgmon test); stderr goes to $bed/err.txt; sets rc.
mon() {
    wine 'C:\dbgmon test\dbgmon.exe' "$@" 2>"$bed/err.txt"
    rc=$?
}

# The text of odsburst's standard sequence, escaped as dbgmon writes it: PID COUNT.
expected_sequence() {
    printf 'pid=%s\n\n' "$1"
    printf '%s\n' 'cr\r lf\n tab\t bs\\ end' 'ctl\x01 latin1\xe9 del\x7f high\xff'
    awk 'BEGIN { a = "abcdefghijklmnopqrstuvwxyz"; for (i = 0; i < 4000; i++) printf "%s", substr(a, i % 26 + 1, 1); print "" }'
    if [ "$2" -gt 0 ]; then seq -f 'burst %05.0f' 0 $(($2 - 1)); fi
    echo end
}

# Every line is "digits TAB printable ASCII", with no other control byte.
well_formed() {
    ! LC_ALL=C grep -qvE $'^[0-9]+\t[ -~]*$' "$1"
}

# Checks that FILE holds exactly one standard sequence of COUNT strings from a single pid. LABEL names it.
check_sequence() {
    local file=$1 n=$2 label=$3 pid pids
    pid=$(head -n 1 "$file" | cut -f1)
    pids=$(cut -f1 "$file" | sort -u | tr '\n' ' ')
    if [ -z "$pid" ] || [ "$pids" != "$pid " ]; then
        fail "$label: pid column should be one value, got: ${pids:0:80}"
    elif [ "$(head -n 1 "$file" | cut -f2-)" != "pid=$pid" ]; then
        fail "$label: pid column ($pid) differs from the sender's own pid ($(head -n 1 "$file" | cut -f2-))"
    elif ! well_formed "$file"; then
        fail "$label: a line is not 'pid TAB printable text'"
    elif ! cut -f2- "$file" | cmp -s - <(expected_sequence "$pid" "$n"); then
        fail "$label: records differ from the expected sequence:"
        diff <(cut -f2- "$file" | cut -c1-100) <(expected_sequence "$pid" "$n" | cut -c1-100) | head -n 10
    else
        pass "$label: $(wc -l <"$file") records exact and in order from pid $pid"
    fi
}

expect_rc() { # WANT LABEL
    if [ "$rc" = "$1" ]; then pass "$2: exit code $rc"; else fail "$2: exit code $rc, expected $1"; fi
}

# --- usage errors -----------------------------------------------------------------------------------------
mon
expect_rc 250 "no command"
mon --out
expect_rc 250 "--out without a file"
mon --frobnicate odsburst.exe 1
expect_rc 250 "unknown option"

# --- the burst --------------------------------------------------------------------------------------------
mon --out 'C:\zero.txt' odsburst.exe 0 # six strings: the fixed cost of a run
t0=$(now)
mon --out 'C:\out.txt' odsburst.exe "$count"
t1=$(now)
expect_rc 7 "burst of $count"
check_sequence "$cdrive/out.txt" "$count" "burst of $count"
t2=$(now)
mon --out 'C:\zero.txt' odsburst.exe 0
t3=$(now)
check_sequence "$cdrive/zero.txt" 0 "no burst"
run=$(elapsed "$t0" "$t1")
base=$(elapsed "$t2" "$t3")
rate=$(awk -v n="$count" -v a="$run" -v b="$base" 'BEGIN { d = a - b; if (d <= 0) d = 0.001; printf "%.0f", n / d }')
echo "TIME: $((count + 6)) strings in $run s; a run with 6 strings takes $base s; about $rate strings/s"

# --- standard output --------------------------------------------------------------------------------------
mon odsburst.exe 20 >"$bed/stdout.txt"
expect_rc 7 "records on stdout"
check_sequence "$bed/stdout.txt" 20 "records on stdout"

# --- --time: the arrival column ---------------------------------------------------------------------------
mon --time --out 'C:\timed.txt' odsburst.exe 50
expect_rc 7 "--time"
if ! LC_ALL=C grep -qvE $'^[0-9]+\t[0-9]+\t[ -~]*$' "$cdrive/timed.txt" &&
    awk -F '\t' '$1 < last { exit 1 } { last = $1 }' "$cdrive/timed.txt"; then
    pass "--time: every record starts with a millisecond column, never decreasing"
else
    fail "--time: malformed or decreasing time column: $(head -n 3 "$cdrive/timed.txt")"
fi
cut -f2- "$cdrive/timed.txt" >"$bed/untimed.txt"
check_sequence "$bed/untimed.txt" 50 "--time, without its first column"

# --- quoting of the command line --------------------------------------------------------------------------
# shellcheck disable=SC1003 # the backslashes are the point
mon --out 'C:\args.txt' 'C:\dbgmon test\odsburst.exe' --args 'a b' 'q"uote' 'trail\' '' 'x\\"y' $'tab\tin' plain
expect_rc 0 "argument quoting"
# shellcheck disable=SC1003
expected_args=$(printf '%s\n' 'argc=7' 'arg[0]=a b' 'arg[1]=q"uote' 'arg[2]=trail\\' 'arg[3]=' \
    'arg[4]=x\\\\"y' 'arg[5]=tab\tin' 'arg[6]=plain')
if [ "$(cut -f2- "$cdrive/args.txt")" = "$expected_args" ]; then
    pass "argument quoting: every argument arrives unchanged"
else
    fail "argument quoting:"
    diff <(cut -f2- "$cdrive/args.txt") <(echo "$expected_args")
fi

# --- errors of dbgmon itself ------------------------------------------------------------------------------
mon --out 'C:\missing.txt' 'C:\no such folder\missing.exe' 1
expect_rc 251 "command that cannot start"
if grep -q 'missing.exe' "$bed/err.txt" && grep -q 'error [0-9]' "$bed/err.txt"; then
    pass "command that cannot start: stderr names it: $(head -n 1 "$bed/err.txt")"
else
    fail "command that cannot start: stderr was: $(cat "$bed/err.txt")"
fi

mon --out 'C:\no such folder\x.txt' odsburst.exe 1
expect_rc 253 "unwritable output file"

# A first monitor holds the buffer while its command sleeps; a second one must refuse.
rm -f "$cdrive/hold.txt" "$cdrive/second.txt"
wine 'C:\dbgmon test\dbgmon.exe' --out 'C:\hold.txt' odsburst.exe --sleep 4000 2>"$bed/err1.txt" &
first=$!
for _ in $(seq 300); do
    grep -q sleeping "$cdrive/hold.txt" 2>/dev/null && break
    sleep 0.1
done
mon --out 'C:\second.txt' odsburst.exe 1
expect_rc 252 "second monitor"
if grep -q 'another debug-output monitor.*the plain names' "$bed/err.txt" && [ ! -e "$cdrive/second.txt" ]; then
    pass "second monitor: says why and creates no output file"
else
    fail "second monitor: stderr: $(cat "$bed/err.txt"); output file exists: $([ -e "$cdrive/second.txt" ] && echo yes || echo no)"
fi
wait "$first"
rc=$?
expect_rc 0 "first monitor after the second one gave up"
if [ "$(cut -f2- "$cdrive/hold.txt" | tr '\n' ' ')" = "sleeping awake " ]; then
    pass "first monitor: recorded its command completely"
else
    fail "first monitor: got: $(cat "$cdrive/hold.txt")"
fi

# --- session 0's strings: the Global\ names, alone and beside this session's ----------------------------
mon --out 'C:\global.txt' odsburst.exe --global 200
check_sequence "$cdrive/global.txt" 200 "Global\\ sender"
mon --out 'C:\both.txt' odsburst.exe --both 2000
expect_rc 7 "both senders"
mapfile -t senders < <(cut -f1 "$cdrive/both.txt" | sort -u)
[ "${#senders[@]}" = 2 ] || fail "both senders: ${#senders[@]} sender pids, expected 2"
for p in "${senders[@]}"; do
    awk -F '\t' -v p="$p" '$1 == p' "$cdrive/both.txt" >"$bed/sender.txt"
    check_sequence "$bed/sender.txt" 2000 "both senders, pid $p"
done
echo "INFO: both senders: $(cut -f1 "$cdrive/both.txt" | uniq | wc -l) runs of one pid (more than 2: interleaved)"

# --- a grandchild that outlives the command ---------------------------------------------------------------
tree=300
mon --out 'C:\tree.txt' odsburst.exe --child "$tree"
expect_rc 7 "grandchild"
tf="$cdrive/tree.txt"
ppid=$(head -n 1 "$tf" | cut -f1)
cpid=$(awk -F '\t' -v p="$ppid" '$1 != p { print $1; exit }' "$tf")
if [ "$(head -n 1 "$tf" | cut -f2-)" != "parent pid=$ppid" ] || [ -z "$cpid" ]; then
    fail "grandchild: unexpected records: $(head -n 3 "$tf")"
else
    awk -F '\t' -v p="$ppid" '$1 == p' "$tf" >"$bed/parent.txt"
    awk -F '\t' -v c="$cpid" '$1 == c' "$tf" | tail -n +2 >"$bed/child.txt"
    if [ "$(cut -f2- "$bed/parent.txt" | tr '\n' '|')" = "parent pid=$ppid|parent exit|" ]; then
        pass "grandchild: parent records complete"
    else
        fail "grandchild: parent records: $(cat "$bed/parent.txt")"
    fi
    if [ "$(awk -F '\t' -v c="$cpid" '$1 == c' "$tf" | head -n 1 | cut -f2-)" = "child of $ppid" ]; then
        check_sequence "$bed/child.txt" "$tree" "grandchild: child records"
    else
        fail "grandchild: first child record is not 'child of $ppid'"
    fi
    others=$(awk -F '\t' -v p="$ppid" -v c="$cpid" '$1 != p && $1 != c' "$tf" | wc -l)
    after=$(awk -F '\t' -v p="$ppid" 'seen { n++ } $1 == p && $2 == "parent exit" { seen = 1 } END { print n + 0 }' "$tf")
    if [ "$others" = 0 ] && [ "$after" -gt 0 ]; then
        pass "grandchild: $after child records arrived after the command's last string"
    else
        fail "grandchild: $others records from other pids, $after after 'parent exit'"
    fi
fi

echo "checks failed: $fails"
[ "$fails" = 0 ]
