#!/usr/bin/env bash
# Runs clang-tidy (the bugprone and performance groups of .clang-tidy, warnings as errors) over
# every source of src/, using the compile commands of a configured build.
#   scripts/tidy.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
if [ ! -f "$build/compile_commands.json" ]; then
  echo "No compile_commands.json in $build: build first (scripts/build.sh)." >&2
  exit 2
fi
# Only the project's own sources: not Qt's generated files in the build folder.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if run-clang-tidy -p "$build" -quiet -j "$(nproc)" "^$root/src/" >"$log" 2>&1; then
  echo "clang-tidy: clean."
else
  grep -E '(warning|error):' "$log" | sort -u || cat "$log"
  echo "clang-tidy found problems."
  exit 1
fi
