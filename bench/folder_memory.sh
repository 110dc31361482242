#!/usr/bin/env bash
# Peak memory (largest resident set) of the folder verification beside curl fetching the same
# files to /dev/null: the 2,000-file site (about 180 MB), then a site of one 3 GB file (sparse).
# The target is at most 64 MB for Korvane on both: its memory must not grow with the site.
# Usage: bench/folder_memory.sh [BUILD_DIR] (a release build; run as root)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
source "$root/bench/bench_net.sh"
bench_enter_namespace "$0" "$@"
bench_network bench.test
# Runs a command with its output in $work/out and prints its peak resident set in MB.
peak() {
  python3 -c 'import resource, subprocess, sys
with open(sys.argv[1], "w") as out:
    subprocess.run(sys.argv[2:], stdout=out, check=True)
print("%.1f MB" % (resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024))' "$work/out" "$@"
}
korvane="$build/bench/korvane_verify_folder"
cd "$work"

python3 "$root/bench/make_site.py" "$work/site"
bench_nginx "$work/site"
sed 's|^|url = "http://bench.test/|; s|$|"\noutput = "/dev/null"|' "$work/site.names" >"$work/curl.cfg"
echo "2,000-file site ($(du -sh "$work/site" | cut -f1)), peak resident set:"
echo "  Korvane: $(peak "$korvane" bench.test "$work/site")"
verified=$(grep -c '^Integrity verified' "$work/out" || true)
[ "$verified" -eq 2000 ] || { echo "only $verified files verified"; head "$work/out"; exit 1; }
echo "  curl:    $(peak curl -0 -s -H 'Connection: close' -K "$work/curl.cfg")"
kill "$bench_nginx_pid"
wait "$bench_nginx_pid" || true

mkdir "$work/big"
truncate -s 3G "$work/big/video.bin"
bench_nginx "$work/big"
echo "site of one 3 GB file, peak resident set:"
echo "  Korvane: $(peak "$korvane" bench.test "$work/big")"
grep -E '^(Integrity|File: )' "$work/out"
echo "  curl:    $(peak curl -0 -s -H 'Connection: close' -o /dev/null http://bench.test/video.bin)"
