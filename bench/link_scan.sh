#!/usr/bin/env bash
# Link extraction over a 50 MB page dense with href= targets: Korvane's scanner (all mode, every
# target appended to the session log) against `LC_ALL=C grep -oiE` for the same targets, side by
# side, and the scanner's peak memory for a 50 MB and a 500 MB page.
# Usage: bench/link_scan.sh [BUILD_DIR] (a release build: scripts/build.sh builds RelWithDebInfo)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
page=$(mktemp /tmp/korvane-links-bench.XXXXXX)
big=$(mktemp /tmp/korvane-links-bench-big.XXXXXX)
trap 'rm -f "$page" "$big"' EXIT
python3 - "$page" <<'PY'
import sys
line = ('<li><a href="docs/page%d.html">Page</a> <A HREF=\'http://example.com/x/%d\'>x</A> '
        'text href=plain%d.html more text</li>\n')
with open(sys.argv[1], 'w') as out:
    size, i = 0, 0
    while size < 50 * 1024 * 1024:
        chunk = ''.join(line % (n, n, n) for n in range(i, i + 1000))
        out.write(chunk)
        size += len(chunk)
        i += 1000
PY
scanner="$build/bench/korvane_link_scan"
ours=$("$scanner" "$page")
theirs=$(LC_ALL=C grep -oiE "href=[\"']?[^\"' ]*" "$page" | wc -l)
echo "targets: korvane $ours logged, grep $theirs"
[ "$ours" -eq "$theirs" ] || { echo "the log missed targets"; exit 1; }
# grep's output goes through a pipe: with its output on /dev/null GNU grep stops at the first match.
"$root/bench/compare.sh" --name "link scan, 50 MB page" 5 "'$scanner' '$page'" \
  "LC_ALL=C grep -oiE 'href=[\"'\"'\"']?[^\"'\"'\"' ]*' '$page' | wc -l"
echo "(a ratio below 0.2 means Korvane is at least 5x faster)"
for _ in 1 2 3 4 5 6 7 8 9 10; do cat "$page"; done >"$big"
for f in "$page" "$big"; do
  rss=$(/usr/bin/time -f %M "$scanner" "$f" 2>&1 >/dev/null)
  echo "peak memory for $(($(stat -c %s "$f") >> 20)) MB: ${rss} KB"
done
