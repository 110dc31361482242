#!/usr/bin/env bash
# Start-up load of a member.dat with 100,000 customers (about 810 MB): building the index against
# `cat member.dat > /dev/null` on the same warm file, side by side. The target is a ratio of at
# most 1.5 and an index well under 10 MB.
# Usage: bench/load_records.sh [BUILD_DIR] (a release build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/korvane_load_records" make 100000 "$work/member.dat"
ls -l "$work/member.dat"
"$build/bench/korvane_load_records" load "$work/member.dat"
"$root/bench/compare.sh" --name "load 100,000 customers" --goal "≤ 1.5" 9 "'$build/bench/korvane_load_records' load '$work/member.dat'" \
  "cat '$work/member.dat' > /dev/null"
echo "(a ratio below 1 means the load is faster than cat)"
