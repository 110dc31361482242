#!/usr/bin/env bash
# What recording a watch pass in the history costs: one verification pass over the 2,000-file
# site (about 180 MB) against nginx on a private loopback, in the program's own report window,
# counted until the window shows "Finished.", recorded into a history that grows by each run's
# 2,001 rows, against the same pass with no history to record into.
# Usage: bench/watch_record.sh [BUILD_DIR] [RUNS] (a release build; run as root)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
runs=${2:-7}
source "$root/bench/bench_net.sh"
bench_enter_namespace "$0" "$@"
bench_network bench.test
python3 "$root/bench/make_site.py" "$work/site"
bench_nginx "$work/site"
cd "$work"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work"
recorded="'$build/bench/korvane_watch_record' --history '$work/history.db' bench.test '$work/site'"
unrecorded="'$build/bench/korvane_watch_record' --no-history bench.test '$work/site'"
shown=$(eval "$recorded")
case "$shown" in
  "Integrity verified: 2000, passes recorded: "[1-9]*) ;;
  *) echo "the window showed: $shown"; exit 1 ;;
esac
"$root/bench/compare.sh" --name "watch pass recorded in the history, 2,000 files (window)" \
  --goal "≤ 1.05" "$runs" "$recorded" "$unrecorded"
echo "history after the runs: $(eval "$recorded" | sed 's/.*passes recorded: //') passes," \
  "$(stat -c %s "$work/history.db") bytes"
