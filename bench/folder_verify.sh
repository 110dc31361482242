#!/usr/bin/env bash
# Folder verification of a 2,000-file site (about 180 MB) against nginx on a private loopback, as
# the user sees it: the worker reports into the program's own report window (Qt's offscreen
# platform) with detail lines on, and the run counts until the window shows its last line. The
# peer is the faster, round by round, of wget and curl fetching the same 2,000 URLs with a new
# connection each, to /dev/null. Then the same without the window, and the peak memory of each.
# Usage: bench/folder_verify.sh [BUILD_DIR] [RUNS] (a release build; run as root)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
runs=${2:-5}
for tool in wget curl /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh"; exit 1; }
done
source "$root/bench/bench_net.sh"
bench_enter_namespace "$0" "$@"
bench_network bench.test
python3 "$root/bench/make_site.py" "$work/site"
bench_nginx "$work/site"
sed 's|^|url = "http://bench.test/|; s|$|"\noutput = "/dev/null"|' "$work/site.names" >"$work/curl.cfg"
sed 's|^|http://bench.test/|' "$work/site.names" >"$work/wget.list"
cd "$work"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work"
korvane="'$build/bench/korvane_verify_folder' --window bench.test '$work/site'"
wget="wget -q --no-http-keep-alive -O /dev/null -i '$work/wget.list'"
curl="curl -0 -s -H 'Connection: close' -K '$work/curl.cfg'"
shown=$(eval "$korvane")
[ "$shown" = "Integrity verified: 2000" ] || { echo "the window showed: $shown"; exit 1; }
"$root/bench/compare.sh" --name "folder verification (window, detail on)" --goal "≤ 1.3" \
  "$runs" "$korvane" "$wget" "$curl"
echo "without the window (report printed, detail lines off), to tell the window's share:"
"$root/bench/compare.sh" "$runs" "'$build/bench/korvane_verify_folder' bench.test '$work/site'" \
  "$wget" "$curl" | tail -1
for side in korvane wget curl; do
  echo "peak memory of $side: $(eval "/usr/bin/time -f %M ${!side}" 2>&1 >/dev/null | tail -1) KB"
done
