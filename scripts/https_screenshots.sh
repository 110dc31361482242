#!/usr/bin/env bash
# Screenshots of the web tools over HTTPS as a user sees them, in a virtual display inside the
# test network: Ctrl+H (the server page header) on an https page of the fixture site, and Ctrl+B
# (check page) on a certificate that ends in five days and on an expired one.
# Usage: scripts/https_screenshots.sh [OUTPUT_DIR] (as root: the test network needs it)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs}")
mkdir -p "$out"
if [ -z "${KORVANE_NETNS_INSIDE:-}" ]; then
  exec "$root/scripts/netns-run.sh" "$0" "$out"
fi
if [ -z "${KORVANE_IN_XVFB:-}" ]; then
  KORVANE_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$out"
fi
work=$(mktemp -d)
export XDG_RUNTIME_DIR=$(mktemp -d)
cd "$work"
"$root/build/src/korvane" >/dev/null 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT
sleep 4
xdotool search --name "Korvane Help" windowunmap 2>/dev/null || true
window=$(xdotool search --onlyvisible --name '^KORVANE$' | head -n 1)

# Types into the dialog the shortcut opened: the server, then the page, then OK.
ask() {
  xdotool windowfocus --sync "$window"
  xdotool key "$1"
  sleep 1
  xdotool key ctrl+a
  xdotool type --delay 20 "$2"
  xdotool key Tab ctrl+a
  xdotool type --delay 20 "$3"
  xdotool key Return
  sleep 2
}

ask ctrl+h https://site.test index.html
import -window root "$out/https-header.png"
xdotool key Escape
sleep 1
ask ctrl+b https://soon.test index.html
ask ctrl+b https://expired.test index.html
import -window root "$out/https-check-page.png"
kill -TERM "$pid"
wait "$pid" || true
echo "Screenshots written to $out"
