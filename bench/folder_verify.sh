#!/usr/bin/env bash
# Folder verification of a 2,000-file site (about 180 MB) against nginx on a private loopback,
# side by side with curl fetching the same 2,000 URLs, a new connection each, to /dev/null.
# Usage: bench/folder_verify.sh [BUILD_DIR] (a release build; run as root)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
source "$root/bench/bench_net.sh"
bench_enter_namespace "$0" "$@"
bench_network bench.test
python3 "$root/bench/make_site.py" "$work/site"
bench_nginx "$work/site"
sed 's|^|url = "http://bench.test/|; s|$|"\noutput = "/dev/null"|' "$work/site.names" >"$work/curl.cfg"
cd "$work"
report=$("$build/bench/korvane_verify_folder" bench.test "$work/site")
verified=$(grep -c '^Integrity verified' <<<"$report" || true)
[ "$verified" -eq 2000 ] || { echo "only $verified files verified"; echo "$report" | head; exit 1; }
"$root/bench/compare.sh" 5 "'$build/bench/korvane_verify_folder' bench.test '$work/site'" \
  "curl -0 -s -H 'Connection: close' -K '$work/curl.cfg'"
echo "(a ratio below 1 means Korvane is faster)"
