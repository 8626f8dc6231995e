#!/usr/bin/env bash
# fenwarr-report on a rollout of COUNT records (default 10,000) made from the golden records by
# report_bench --make-rollout: the wall time and peak memory (GNU time) of one summary, as text and as
# JSON. Never a test. Build first:
#   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release
#   cmake --build build/bench --target report_bench fenwarr-report
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-10000}
bench=build/bench/bench/report_bench
report=build/bench/tools/report/fenwarr-report
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/rollout"
"$bench" --make-rollout "$work/rollout" "$count"
for mode in text json; do
  flags=()
  [ "$mode" = json ] && flags=(--json)
  status=0
  /usr/bin/time -f "%e %M" -o "$work/time" "$report" "${flags[@]}" "$work/rollout" >"$work/out" || status=$?
  read -r seconds kilobytes < <(tail -n 1 "$work/time") # after "Command exited with ..."
  echo "$mode summary of $count records: ${seconds} s, peak memory ${kilobytes} KB," \
    "$(wc -c <"$work/out") bytes out, exit $status"
done
