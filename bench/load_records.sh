#!/usr/bin/env bash
# Start-up load of a member.dat with 20,000 and with 100,000 customers (about 160 and 810 MB):
# building the index against `cat member.dat > /dev/null` on the same warm file, side by side.
# The target is a ratio of at most 1.5 at both sizes and an index well under 10 MB.
# Usage: bench/load_records.sh [BUILD_DIR] [RUNS] (a release build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
runs=${2:-9}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for count in 20000 100000; do
  "$build/bench/korvane_load_records" make "$count" "$work/member.dat"
  ls -l "$work/member.dat"
  "$build/bench/korvane_load_records" load "$work/member.dat"
  "$root/bench/compare.sh" --name "load $count customers" --goal "≤ 1.5" "$runs" \
    "'$build/bench/korvane_load_records' load '$work/member.dat'" "cat '$work/member.dat' > /dev/null"
done
echo "(a ratio below 1 means the load is faster than cat)"
