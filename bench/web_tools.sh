#!/usr/bin/env bash
# Two web tools against nginx on a private loopback, side by side with curl:
#  - one header exchange against `curl -0 -s -I` for the same page, median of 200;
#  - the broken-link check of a page of 500 links (450 there, 50 missing) against a sequential
#    loop of `curl -0 -s -I` over the same 500 targets.
# Usage: bench/web_tools.sh [BUILD_DIR] (a release build; run as root)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
source "$root/bench/bench_net.sh"
bench_enter_namespace "$0" "$@"
bench_network bench.test
mkdir -p "$work/site"
{
  echo "<html><body>"
  for i in $(seq 1 500); do
    echo "<a href=\"p$i.html\">page $i</a>"
    # Every tenth target is missing.
    [ $((i % 10)) -eq 0 ] || echo "<p>page $i</p>" >"$work/site/p$i.html"
  done
  echo "</body></html>"
} >"$work/site/links.html"
echo "<html><body>home</body></html>" >"$work/site/index.html"
seq 1 500 | sed 's|.*|url = "http://bench.test/p&.html"\noutput = "/dev/null"|' >"$work/curl.cfg"
bench_nginx "$work/site"
cd "$work"
tools="$build/bench/korvane_web_tools"
# The same request from both: HEAD for the default page.
"$tools" header bench.test '' | head -1
"$root/bench/compare.sh" --name "header exchange" --goal "≤ 1.5" 200 "'$tools' header bench.test ''" \
  "curl -0 -s -I -H 'Connection: close' http://bench.test/"
reported=$("$tools" broken bench.test links.html | grep -c 'Server code: 404' || true)
[ "$reported" -eq 50 ] || { echo "only $reported of 50 broken links reported"; exit 1; }
echo "broken links reported: $reported of 50"
"$root/bench/compare.sh" --name "broken links, 500" --goal "≤ 1.2" 5 "'$tools' broken bench.test links.html" \
  "curl -0 -s -I -H 'Connection: close' -K '$work/curl.cfg'"
