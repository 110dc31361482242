#!/usr/bin/env bash
# The web tools over HTTPS against nginx on a private loopback, side by side with curl:
#  - folder verification of the 2,000-file site against one curl process fetching the same URLs
#    with HTTP/1.0, a new TLS connection each (curl resumes its own sessions);
#  - one header exchange against `curl -0 -s -I` for the same page (whole process each).
# Usage: bench/https.sh [BUILD_DIR] [FOLDER_RUNS] (a release build; run as root)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
runs=${2:-5}
source "$root/bench/bench_net.sh"
bench_enter_namespace "$0" "$@"
bench_network bench.test
bench_certs bench.test
python3 "$root/bench/make_site.py" "$work/site"
bench_nginx "$work/site"
sed 's|^|url = "https://bench.test/|; s|$|"\noutput = "/dev/null"|' "$work/site.names" >"$work/curl.cfg"
cd "$work"
report=$("$build/bench/korvane_verify_folder" https://bench.test "$work/site")
verified=$(grep -c '^Integrity verified' <<<"$report" || true)
[ "$verified" -eq 2000 ] || { echo "only $verified files verified"; echo "$report" | head; exit 1; }
echo "folder verification over HTTPS, 2,000 files:"
"$root/bench/compare.sh" --name "folder verification over HTTPS" --goal "≤ 1.3" "$runs" "'$build/bench/korvane_verify_folder' https://bench.test '$work/site'" \
  "curl -0 -s --cacert '$work/ca.pem' -H 'Connection: close' -K '$work/curl.cfg'"
tools="$build/bench/korvane_web_tools"
# A default page for the header exchange, made after the folder runs so that they see 2,000 files.
echo "<html><body>home</body></html>" >"$work/site/index.html"
"$tools" header https://bench.test '' | head -1
echo "one header exchange over HTTPS:"
"$root/bench/compare.sh" --name "header exchange over HTTPS" --goal "≤ 1.5" 200 "'$tools' header https://bench.test ''" \
  "curl -0 -s -I --cacert '$work/ca.pem' -H 'Connection: close' https://bench.test/"
