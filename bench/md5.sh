#!/usr/bin/env bash
# MD5 of a 1 GiB file: Korvane's digest against `openssl dgst -md5`, side by side.
# Usage: bench/md5.sh [BUILD_DIR] (a release build: scripts/build.sh builds RelWithDebInfo)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
file=$(mktemp /tmp/korvane-md5-bench.XXXXXX)
trap 'rm -f "$file"' EXIT
head -c $((1 << 30)) /dev/urandom >"$file"
ours=$("$build/bench/korvane_md5_file" "$file" | cut -d' ' -f1)
theirs=$(openssl dgst -md5 -r "$file" | cut -d' ' -f1)
[ "$ours" = "$theirs" ] || { echo "digests differ: $ours vs $theirs"; exit 1; }
"$root/bench/compare.sh" --name "MD5 of 1 GiB" 7 "'$build/bench/korvane_md5_file' '$file'" "openssl dgst -md5 '$file'"
echo "(a ratio below 1 means Korvane is faster)"
