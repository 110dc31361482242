#!/usr/bin/env bash
# A customer report over a year of watch history: sixteen sites checked once a minute for a year
# (about 8.5 million passes), and the report of the last 30 days for a customer with four of the
# sites, as Customer database > "Report" writes it (page and CSV). The peer is the sqlite3 shell
# reading the same passes of the same period to /dev/null: what any report of them must read.
# Prints the time and size of the history too, and, where Chromium is installed, a picture of
# the page into OUTPUT_DIR (to see that the plot stays readable at that many passes).
# Usage: bench/customer_report.sh [BUILD_DIR] [RUNS] [OUTPUT_DIR] (a release build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
runs=${2:-7}
out=${3:+$(realpath -m "$3")}
command -v sqlite3 >/dev/null || { echo "sqlite3 is missing: run scripts/install-deps.sh"; exit 1; }
work=$(mktemp -d /tmp/korvane-report.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
end=$(date +%s%3N)
"$build/bench/korvane_make_history" "$work/history.db" "$end" 'shop%02d.test'
servers=("shop01.test" "https://shop02.test" "shop03.test" "https://shop04.test")
korvane="'$build/bench/korvane_customer_report' '$work/history.db' ${servers[*]}"
from=$(( $(date -d "$(date +%F) -30 days" +%s) * 1000 ))
list=$(printf "'%s'," "${servers[@]}")
query="SELECT p.at, p.kind, p.ok, p.cause, p.response_ms, p.cert_not_after, p.files, p.failures
  FROM pass p JOIN site s ON p.site = s.id WHERE s.server IN (${list%,})
  AND p.at >= $from AND p.at < $end ORDER BY p.at;"
peer="sqlite3 '$work/history.db' \"$query\""
echo "rows the peer reads: $(eval "$peer" | wc -l)"
eval "$korvane"
"$root/bench/compare.sh" --name "customer report, 30 days of a year of history (16 sites)" \
  --goal "A ≤ 1 s" "$runs" "$korvane" "$peer"
if [ -n "$out" ] && command -v chromium >/dev/null; then
  page=$(ls "$work"/*.html | head -n 1)
  profile=$(mktemp -d)
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --hide-scrollbars --window-size=1000,1500 \
    --screenshot="$out/customer-report-year.png" "file://$page" 2>/dev/null
  rm -rf "$profile"
  echo "picture of the page: $out/customer-report-year.png"
fi
