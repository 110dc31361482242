#!/usr/bin/env bash
# Runs every benchmark against its peer and prints one table: benchmark, ratio (median of the
# per-round ratios, lowest to highest) and goal. Each benchmark's own output goes to a log whose
# name is printed; the hour-long watch soak is not run (bench/watch_soak.sh).
# Usage: bench/run_all.sh [BUILD_DIR] (a release build: scripts/build.sh builds RelWithDebInfo;
# run as root)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
log=$(mktemp /tmp/korvane-bench-log.XXXXXX)
export KORVANE_BENCH_TABLE
KORVANE_BENCH_TABLE=$(mktemp /tmp/korvane-bench-table.XXXXXX)
trap 'rm -f "$KORVANE_BENCH_TABLE"' EXIT
failed=()
for bench in md5 comparison load_records link_scan web_tools https folder_verify folder_memory \
  mail mail_secure watch_record customer_report; do
  echo "== $bench" | tee -a "$log"
  bash "$root/bench/$bench.sh" "$build" >>"$log" 2>&1 || failed+=("$bench")
done
"$build/bench/korvane_log_view" 5 >>"$log" 2>&1 || failed+=(log_view)
echo
awk -F'\t' '
  BEGIN { printf "%-40s %-26s %s\n", "benchmark", "ratio (median, min-max)", "goal" }
  { printf "%-40s %-26s %s\n", $1, sprintf("%.2f (%.2f-%.2f)", $2, $3, $4), $5 }
' "$KORVANE_BENCH_TABLE"
echo
# Each mail merge run tells its own peak memory; only the named figures are kept.
grep -E '^peak memory|peak resident set|^  (Korvane|curl):|^database e-mail|^[0-9]+ lines in|^history after|^bytes on disk|^pass rows' \
  "$log" | grep -v '^peak memory: [0-9]'
echo "each benchmark's output: $log"
[ ${#failed[@]} -eq 0 ] || { echo "failed: ${failed[*]}"; exit 1; }
