#!/usr/bin/env bash
# Renders a side-by-side comparison of two small pages in headless Chromium, to look at how the
# report shows: both frames side by side, the changed, inserted and missing lines coloured.
# Needs the chromium package. Usage: scripts/comparison_screenshot.sh [OUTPUT_PNG]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/comparison.png}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cat >local.html <<'PAGE'
<html>
<head><title>Acme Widgets</title></head>
<body>
<h1>Acme Widgets</h1>
<p>Our <b>new</b> catalogue is out.</p>
<p>Prices valid until June.</p>
<p>Call us: 555 0100</p>
</body>
</html>
PAGE
cat >server.html <<'PAGE'
<html>
<head><title>Acme Widgets</title></head>
<body>
<h1>Acme Widgets</h1>
<p>Our catalogue is out.</p>
<p>Prices valid until June.</p>
<p>Open Monday to Friday.</p>
<p>Call us: 555 0100</p>
</body>
</html>
PAGE
"${KORVANE_BUILD_DIR:-$root/build}/bench/korvane_compare_files" local.html server.html
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/profile" --window-size=1000,420 --screenshot="$out" \
  "file://$work/tc.html" >/dev/null 2>&1
echo "Screenshot written to $out"
