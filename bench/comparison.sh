#!/usr/bin/env bash
# The side-by-side comparison of two 20,000-line and two 50,000-line files with 5% of the lines
# changed, inserted or deleted, against `diff -y` on the same pair.
# Usage: bench/comparison.sh [BUILD_DIR] (a release build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
for lines in 20000 50000; do
  python3 "$root/bench/make_changed_pair.py" "$lines" "a$lines.txt" "b$lines.txt"
  echo "== $lines lines"
  "$root/bench/compare.sh" --name "comparison, $lines lines" 7 "'$build/bench/korvane_compare_files' a$lines.txt b$lines.txt" \
    "diff -y a$lines.txt b$lines.txt"
done
echo "(a ratio below 1 means Korvane is faster)"
