#!/usr/bin/env bash
# Takes screenshots of Korvane as a user sees it, in a virtual display: the start-up picture,
# the main window, the Preferences dialog, Submit URL with an address typed after its starting
# text, the customer form, and Email identity filled in for a provider. Usage: scripts/screenshot.sh [OUTPUT_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs}")
mkdir -p "$out"
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
kill -TERM "$pid"
wait "$pid" || true
echo "Screenshots written to $out"
