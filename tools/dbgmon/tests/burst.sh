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
# (252, naming the plain names; one holding only the Global\ names: 252 naming those; any one of the six
# objects made first by another process: 252 naming it), an unwritable output
# file (253), session 0's strings (the Global\ names), alone and beside this session's, and, beside a
# stranger that sends every 100 ms on the Global\ or the plain names: none of its strings in the record
# (all of them with --all), the monitor's end within 2 s of the command's, and the strings of a grandchild
# that outlives the command, followed by job object and by process snapshots (--no-job).
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
# The same in the background, as a direct child: $! is then the Wine process itself, which kill can stop.
wine_bg() {
    if [ -n "${WINELOADER:-}" ]; then "$WINELOADER" "$@" & else command wine "$@" & fi
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

# Each run's limit: 60 s, and less near the test's deadline (FENWARR_WINE_DEADLINE, seconds since the
# epoch, from the Wine test bed under ctest), so that a run that hangs fails under its own name.
run_limit() {
    local left=60
    [ -z "${FENWARR_WINE_DEADLINE:-}" ] || left=$((FENWARR_WINE_DEADLINE - $(date +%s)))
    [ "$left" -lt 60 ] || left=60
    [ "$left" -ge 5 ] || left=5
    echo "$left"
}

# Runs dbgmon from the work folder (C:\dbgmon test); stderr goes to $bed/err.txt; sets rc.
mon() {
    local limit
    limit=$(run_limit)
    timeout --kill-after=5 "$limit" wine 'C:\dbgmon test\dbgmon.exe' "$@" 2>"$bed/err.txt"
    rc=$?
    if [ "$rc" = 124 ] || [ "$rc" = 137 ]; then
        fail "dbgmon $*: the run did not end within $limit s"
    fi
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

# start_holder ARGS...: odsburst ARGS in the background (holder), running once it says it holds its names.
start_holder() {
    wine_bg 'C:\dbgmon test\odsburst.exe' "$@" >"$bed/holder.txt" 2>&1
    holder=$!
    for _ in $(seq 300); do
        grep -q holding "$bed/holder.txt" 2>/dev/null && break
        sleep 0.1
    done
}

# --- a second monitor that holds only the Global\ names ----------------------------------------------------
rm -f "$cdrive/held.txt"
start_holder --hold-global 30000
mon --out 'C:\held.txt' odsburst.exe 1
expect_rc 252 "Global\\ names held"
if grep -qF 'another debug-output monitor holds the Global\ names' "$bed/err.txt" &&
    ! grep -q 'plain' "$bed/err.txt" && [ ! -e "$cdrive/held.txt" ]; then
    pass "Global\\ names held: names them and creates no output file"
else
    fail "Global\\ names held: stderr: $(cat "$bed/err.txt"); output file exists: $([ -e "$cdrive/held.txt" ] && echo yes || echo no)"
fi
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null

# --- any one of the six objects made first, by anyone: held, and none of it used ----------------------------
# A planted DATA_READY would take the strings, a planted buffer feed the record: each means "held".
for planted in DBWIN_BUFFER_READY DBWIN_DATA_READY DBWIN_BUFFER 'Global\DBWIN_BUFFER_READY' \
    'Global\DBWIN_DATA_READY' 'Global\DBWIN_BUFFER'; do
    rm -f "$cdrive/planted.txt"
    start_holder --plant "$planted" 30000
    mon --out 'C:\planted.txt' odsburst.exe 1
    expect_rc 252 "$planted planted"
    if grep -qF "($planted exists already)" "$bed/err.txt" && [ ! -e "$cdrive/planted.txt" ]; then
        pass "$planted planted: named, no output file"
    else
        fail "$planted planted: stderr: $(cat "$bed/err.txt")"
    fi
    kill "$holder" 2>/dev/null
    wait "$holder" 2>/dev/null
done

# --- strangers: another process sending every 100 ms on the channels ---------------------------------------
# start_stranger MODE: odsburst MODE 100 (--every or --every-global), running once it has said so.
start_stranger() {
    wine_bg 'C:\dbgmon test\odsburst.exe' "$1" 100 >"$bed/stranger.txt" 2>&1
    stranger=$!
    for _ in $(seq 300); do
        grep -q sending "$bed/stranger.txt" 2>/dev/null && break
        sleep 0.1
    done
}
stop_stranger() {
    kill "$stranger" 2>/dev/null
    wait "$stranger" 2>/dev/null
}

# The summary line's numbers: how long after the tree's end the capture ended, and the strings left out.
ended_ms() { sed -n 's/.*; ended \([0-9]*\) ms after the last of them.*/\1/p' "$bed/err.txt"; }
left_out() { sed -n 's/.*, \([0-9]*\) from other processes left out;.*/\1/p' "$bed/err.txt"; }

# run_beside_stranger LABEL FILE [OPTIONS...]: odsburst --sleep 1000 under dbgmon while the stranger sends.
# The command's two strings come whole from one pid; the stranger's are all there with --all and none
# otherwise; the monitor ends at most 2 s after the command by its own measure. The wall clock only checks
# that measure roughly, against the quiet run timed above plus the command's second of sleep, with room for
# a busy machine (Wine's start-up alone took 3 s longer under load): a monitor held by the stranger, as the
# quiet rule once held it (15 s), still fails.
run_beside_stranger() {
    local label=$1 file=$2 t0 wall ended own strangers
    shift 2
    t0=$(now)
    mon "$@" --out "C:\\$file" odsburst.exe --sleep 1000
    wall=$(elapsed "$t0" "$(now)")
    expect_rc 0 "$label"
    ended=$(ended_ms)
    if [ -n "$ended" ] && [ "$ended" -le 2000 ] && awk -v w="$wall" -v b="$base" 'BEGIN { exit !(w <= b + 10) }'; then
        pass "$label: ended $ended ms after the command's processes, in $wall s"
    else
        fail "$label: ended ${ended:-?} ms after the command's processes, in $wall s (a quiet run: $base s, + 1 s of sleep); stderr: $(tail -n 2 "$bed/err.txt")"
    fi
    own=$(grep -v $'\tstranger [0-9]*$' "$cdrive/$file" | cut -f1 | sort -u | wc -l)
    if [ "$own" = 1 ] && [ "$(grep -v $'\tstranger [0-9]*$' "$cdrive/$file" | cut -f2- | tr '\n' ' ')" = "sleeping awake " ]; then
        pass "$label: the command's records complete"
    else
        fail "$label: the command's records: $(grep -v $'\tstranger' "$cdrive/$file" | head -n 5)"
    fi
    strangers=$(grep -c $'\tstranger [0-9]*$' "$cdrive/$file")
    if [ "${*#--all}" != "$*" ]; then
        if [ "$strangers" -gt 0 ]; then pass "$label: $strangers of the stranger's strings recorded"; else fail "$label: none of the stranger's strings recorded"; fi
    elif [ "$strangers" = 0 ] && [ "$(left_out)" -gt 0 ] 2>/dev/null; then
        pass "$label: $(left_out) of the stranger's strings left out, none recorded"
    else
        fail "$label: $strangers of the stranger's strings recorded, $(left_out) left out"
    fi
}

# check_grandchild LABEL [OPTIONS...]: the parent ends once its child has sent one string; the child goes on
# and, being in the command's tree, is recorded to its last string, and nobody else is.
check_grandchild() {
    local label=$1 tf="$cdrive/tree.txt" tree=300 ppid cpid others after
    shift
    mon "$@" --out 'C:\tree.txt' odsburst.exe --child "$tree"
    expect_rc 7 "$label"
    ppid=$(head -n 1 "$tf" | cut -f1)
    cpid=$(awk -F '\t' -v p="$ppid" '$1 != p { print $1; exit }' "$tf")
    if [ "$(head -n 1 "$tf" | cut -f2-)" != "parent pid=$ppid" ] || [ -z "$cpid" ]; then
        fail "$label: unexpected records: $(head -n 3 "$tf")"
        return
    fi
    awk -F '\t' -v p="$ppid" '$1 == p' "$tf" >"$bed/parent.txt"
    awk -F '\t' -v c="$cpid" '$1 == c' "$tf" | tail -n +2 >"$bed/child.txt"
    if [ "$(cut -f2- "$bed/parent.txt" | tr '\n' '|')" = "parent pid=$ppid|parent exit|" ]; then
        pass "$label: parent records complete"
    else
        fail "$label: parent records: $(cat "$bed/parent.txt")"
    fi
    if [ "$(awk -F '\t' -v c="$cpid" '$1 == c' "$tf" | head -n 1 | cut -f2-)" = "child of $ppid" ]; then
        check_sequence "$bed/child.txt" "$tree" "$label: child records"
    else
        fail "$label: first child record is not 'child of $ppid'"
    fi
    others=$(awk -F '\t' -v p="$ppid" -v c="$cpid" '$1 != p && $1 != c' "$tf" | wc -l)
    after=$(awk -F '\t' -v p="$ppid" 'seen { n++ } $1 == p && $2 == "parent exit" { seen = 1 } END { print n + 0 }' "$tf")
    if [ "$others" = 0 ] && [ "$after" -gt 0 ]; then
        pass "$label: $after child records arrived after the command's last string, none from others"
    else
        fail "$label: $others records from other pids, $after after 'parent exit'"
    fi
}

method_is() { # METHOD LABEL: the summary names how the command's processes were followed
    if grep -q "processes followed by $1;" "$bed/err.txt"; then pass "$2: followed by $1"; else fail "$2: $(tail -n 1 "$bed/err.txt")"; fi
}

start_stranger --every-global
run_beside_stranger "--all beside a Global\\ stranger" all.txt --all
run_beside_stranger "Global\\ stranger" stranger.txt
check_grandchild "grandchild beside a Global\\ stranger"
method_is "job object" "grandchild beside a Global\\ stranger"
stop_stranger

start_stranger --every
run_beside_stranger "plain stranger" stranger.txt
check_grandchild "grandchild, --no-job, beside a plain stranger" --no-job
method_is "process snapshots" "grandchild, --no-job"
stop_stranger

echo "checks failed: $fails"
[ "$fails" = 0 ]
