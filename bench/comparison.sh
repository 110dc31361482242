#!/usr/bin/env bash
# The side-by-side comparison against `diff -y` on the same pair: two files of 20,000 to 200,000
# lines with 5% of the lines changed, inserted or deleted, and two unrelated files of 20,000 and
# 50,000 lines. Prints the time ratios and each side's peak memory.
# Usage: bench/comparison.sh [BUILD_DIR] (a release build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
peak() { { /usr/bin/time -f %M "$@" 2>&1 >/dev/null || true; } | tail -1; }
run() { # edited|unrelated LINES
  local a="a$2$1.txt" b="b$2$1.txt"
  python3 "$root/bench/make_changed_pair.py" $([ "$1" = edited ] || echo --unrelated) "$2" "$a" "$b"
  echo "== $2 lines, $1"
  "$root/bench/compare.sh" --name "comparison, $2 lines, $1" 7 \
    "'$build/bench/korvane_compare_files' $a $b" "diff -y $a $b"
  echo "peak memory: Korvane $(peak "$build/bench/korvane_compare_files" "$a" "$b") KB," \
    "diff -y $(peak diff -y "$a" "$b") KB"
}
for lines in 20000 50000 100000 200000; do
  run edited "$lines"
done
for lines in 20000 50000; do
  run unrelated "$lines"
done
echo "(a ratio below 1 means Korvane is faster)"
