#!/usr/bin/env bash
# Takes screenshots of Korvane as a user sees it, in a virtual display inside the test network:
# the start-up picture, the main window, the Preferences dialog, Submit URL with an address
# typed after its starting text, the customer form, Email identity filled in for a provider,
# Ctrl+H (the server page header) on an https page of the fixture site, and Ctrl+B (check page)
# on a certificate that ends in five days and on an expired one.
# Usage: scripts/screenshot.sh [OUTPUT_DIR] (as root: the test network needs it)
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
# A provider's account as Email identity keeps it; the password is never in a file.
printf 'smtp_port=587\nsmtp_security=starttls\nsmtp_user=webmaster@example.com\n' >korvane.cfg
"${KORVANE_BUILD_DIR:-$root/build}/src/korvane" >/dev/null 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT
sleep 1
import -window root "$out/splash.png"
sleep 3
# The help window opens over the frame at start; put it aside for the picture of the frame.
xdotool search --name "Korvane Help" windowunmap 2>/dev/null || true
sleep 0.5
import -window root "$out/screenshot.png"
window=$(xdotool search --onlyvisible --name '^KORVANE$' | head -n 1)
xdotool windowfocus --sync "$window"
xdotool key ctrl+p
sleep 1
import -window root "$out/preferences.png"
xdotool key Escape
sleep 0.5
# Submit URL has no key of its own: Alt opens the menu bar, the eighth menu holds it first.
xdotool windowfocus --sync "$window"
xdotool key alt
xdotool key Right Right Right Right Right Right Right Down Return
sleep 1
xdotool type --delay 50 "example.com/"
sleep 0.5
import -window root "$out/submit-url.png"
xdotool key Escape
sleep 0.5
xdotool windowfocus --sync "$window"
xdotool key F3
sleep 1
import -window root "$out/customer-form.png"
xdotool key Escape
sleep 0.5
# Email identity is the last item of the tenth menu, Utilities.
xdotool windowfocus --sync "$window"
xdotool key alt
xdotool key Right Right Right Right Right Right Right Right Right Down Up Return
sleep 1
xdotool type --delay 30 "Example Web Design"
xdotool key Tab
xdotool type --delay 30 "webmaster@example.com"
sleep 0.5
import -window root "$out/email-identity.png"
xdotool key Escape
sleep 0.5

# Types into the dialog a shortcut opened: the server, then the page, then OK.
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
