#!/usr/bin/env bash
# Takes screenshots of the watches' memory as a new user meets it, in a virtual display inside the
# test network: a customer added through the customer form, the SMTP server set in Preferences, a
# check watch of the customer's site every minute through an outage of one pass (the site is a
# small Python web server, stopped after the first pass and started again after the second), the
# Rules... dialog filled in, the session log with the alert and recovery mails, the two mails as
# the mail server stored them, and the customer's report in the browser.
# Takes about three minutes: the watch runs on its real one-minute timer.
# Usage: scripts/watch_screenshots.sh [OUTPUT_DIR] (as root: the test network needs it)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs}")
mkdir -p "$out"
if [ -z "${KORVANE_NETNS_INSIDE:-}" ]; then
  "$root/scripts/install-deps.sh" screenshots
  exec "$root/scripts/netns-run.sh" "$0" "$out"
fi
if [ -z "${KORVANE_IN_XVFB:-}" ]; then
  KORVANE_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$out"
fi

# The mount namespace is the test network's own: the pictures show the folders of a web designer's
# home, not those of a temporary folder, and the machine's /home stays untouched.
mount -t tmpfs tmpfs /home
work=/home/webmaster
mkdir -p "$work"
tmp=$(mktemp -d) # the script's own files
export XDG_RUNTIME_DIR=$(mktemp -d)
site_pid=""
pid=""
cleanup() {
  for p in $pid $site_pid; do
    kill "$p" 2>/dev/null || true
  done
  rm -rf "$tmp" "$XDG_RUNTIME_DIR"
}
trap cleanup EXIT

# SECONDS WHAT CHECK...: polls CHECK until it succeeds; fails the script after SECONDS.
wait_until() {
  local limit=$1 what=$2
  shift 2
  for _ in $(seq 1 $((limit * 10))); do
    "$@" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "Timed out waiting for $what" >&2
  exit 1
}
# TITLE: the id of the visible window of that title once it shows, with the keyboard focus.
window() {
  local id
  id=$(timeout 30 xdotool search --sync --onlyvisible --name "^$1\$" | tail -n 1) || {
    echo "No window \"$1\" showed" >&2
    exit 1
  }
  xdotool windowfocus --sync "$id"
  echo "$id"
}
shown() { xdotool search --onlyvisible --name . | grep -qx "$1"; }
not_shown() { ! shown "$1"; }
# ID: waits until the window closed, so that the next one of the same title is a new one.
closed() { wait_until 30 "window $1 to close" not_shown "$1"; }
# The main window has no window manager to give it the focus back after a dialog.
menu() {
  xdotool windowfocus --sync "$main"
  xdotool key alt
  xdotool key "$@"
}

# The customer's site: the same few pages in the local folder and on the server.
site="$work/sites/acme"
mkdir -p "$site"
for page in index about contact; do
  printf '<html><head><title>Acme Widgets: %s</title></head>\n<body><h1>Acme Widgets</h1>\n<p>The %s page.</p></body></html>\n' \
    "$page" "$page" >"$site/$page.html"
done
site_up() {
  /usr/bin/python3 -m http.server 80 --bind 127.0.0.240 --directory "$site" \
    >>"$tmp/site.log" 2>&1 &
  site_pid=$!
  wait_until 10 "the customer's web server" bash -c 'exec 3<>/dev/tcp/127.0.0.240/80'
}
site_down() {
  kill "$site_pid"
  wait "$site_pid" || true
  site_pid=""
}
site_up

# The browser the report opens in is headless Chromium, below; the program only names the page.
mkdir -p "$tmp/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >>"%s/opened"\n' "$tmp" >"$tmp/bin/xdg-open"
chmod +x "$tmp/bin/xdg-open"
export PATH="$tmp/bin:$PATH"
render() { # URL PNG HEIGHT
  rm -f "$2"
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$tmp/profile" --hide-scrollbars --window-size="1000,$3" \
    --screenshot="$2" "$1" >>"$tmp/chromium.log" 2>&1 || true
  [ -s "$2" ] || {
    echo "Chromium did not render $1:" >&2
    cat "$tmp/chromium.log" >&2
    exit 1
  }
}

mkdir -p "$work/korvane"
cd "$work/korvane"
"${KORVANE_BUILD_DIR:-$root/build}/src/korvane" >"$tmp/korvane.out" 2>&1 &
pid=$!
main=$(window KORVANE)
# The help window opens over the frame at start; put it aside.
help=$(window "Korvane Help")
xdotool windowunmap "$help"

# The mail server of the test network takes the alert mails.
xdotool windowfocus --sync "$main"
xdotool key ctrl+p
dialog=$(window Preferences)
xdotool key ctrl+a
xdotool type --delay 20 localhost
xdotool key Return
closed "$dialog"

# Customer database > Add: number, company, then Server 1 and Local folder 1, nineteen fields on.
xdotool windowfocus --sync "$main"
xdotool key F3
dialog=$(window "NEW CUSTOMER")
xdotool key ctrl+a
xdotool type --delay 20 17
xdotool key Tab
xdotool type --delay 20 "Acme Widgets"
xdotool key --delay 20 $(printf 'Tab %.0s' $(seq 1 18))
xdotool type --delay 20 scripted240.test
xdotool key Tab
xdotool type --delay 20 "$site"
xdotool key Return
closed "$dialog"
dialog=$(window "New customer")
xdotool key Return
closed "$dialog"

# Check > Multiple sites, Rules... for another site: the page must hold its name, and one failing
# pass is not yet an outage. The rules are kept at once; the watch itself is not started.
menu Right Right Right Down Down Down Return
dialog=$(window "Check multiple sites")
xdotool key ctrl+a
xdotool type --delay 20 www.site.test
# The focus goes round: back from the first field is the last button, Rules...
xdotool key shift+Tab space
rules=$(window "Rules for www.site.test")
xdotool key shift+Tab
xdotool type --delay 20 index.html
xdotool key Tab
xdotool type --delay 20 "Acme Widgets"
xdotool key Tab
xdotool type --delay 20 "Internal Server Error"
xdotool key Tab ctrl+a
xdotool type --delay 20 1500
xdotool key Tab ctrl+a
xdotool type --delay 20 2
import -window "$rules" "$out/watch-rules.png"
xdotool key Return
closed "$rules"
xdotool windowfocus --sync "$dialog"
xdotool key Escape
closed "$dialog"

# Check > Customer site for customer 17, every minute, alert on unavailable.
menu Right Right Right Down Up Return
dialog=$(window "Verify customer site")
xdotool type --delay 20 17
xdotool key Return
closed "$dialog"
dialog=$(window "Check multiple sites")
# Past the eight server and folder fields: the frequency, the alert buttons, the address.
xdotool key --delay 20 $(printf 'Tab %.0s' $(seq 1 8)) Down Tab Down Tab
xdotool type --delay 20 webmaster@example.com
xdotool key Return
closed "$dialog"
report=$(window "Check multiple sites")

passes() {
  local db="$work/korvane/korvane-history.db"
  [ -f "$db" ] && /usr/bin/python3 -c 'import sqlite3, sys
print(sqlite3.connect(sys.argv[1], timeout=5).execute("select count(*) from pass").fetchone()[0])' "$db"
}
passes_done() { [ "$(passes)" -ge "$1" ]; }
mail_stored() { [ -f "$KORVANE_TEST_MAILDIR/$1.data" ]; }
wait_until 60 "the first pass" passes_done 1
site_down
wait_until 90 "the second pass" passes_done 2
wait_until 30 "the alert mail" mail_stored 0
site_up
wait_until 90 "the third pass" passes_done 3
wait_until 30 "the recovery mail" mail_stored 1
sleep 1 # the report's last lines and the log's "Transmission complete"
xdotool windowsize "$report" 640 550
sleep 0.5
import -window "$report" "$out/watch-outage.png"
xdotool windowfocus --sync "$report"
xdotool key Escape
closed "$report"

import -window "$main" "$out/watch-mails.png"

# The two mails as they arrived, headers and all.
{
  printf '<!DOCTYPE html>\n<html><head><meta charset="utf-8"/><style>'
  printf 'body { font: 13px "DejaVu Sans Mono", monospace; margin: 16px; }\n'
  printf 'h1 { font: bold 14px "DejaVu Sans", sans-serif; margin: 16px 0 4px; }\n'
  printf 'pre { border: 1px solid #c8d0d8; background: #f6f8fa; padding: 8px; margin: 0; }'
  printf '</style></head><body>\n'
  for n in 0 1; do
    printf '<h1>Message %d, from %s to %s</h1>\n<pre>' "$((n + 1))" \
      "$(cat "$KORVANE_TEST_MAILDIR/$n.from")" "$(cat "$KORVANE_TEST_MAILDIR/$n.to")"
    tr -d '\r' <"$KORVANE_TEST_MAILDIR/$n.data" | sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g'
    printf '</pre>\n'
  done
  printf '</body></html>\n'
} >"$tmp/mails.html"
render "file://$tmp/mails.html" "$out/watch-mail-texts.png" 330

# Customer database > Report for customer 17 over the period it offers.
menu Right Down Up Return
dialog=$(window "Customer report")
xdotool type --delay 20 17
xdotool key Return
closed "$dialog"
dialog=$(window "Customer report")
xdotool key Return
closed "$dialog"
wait_until 30 "the report in the browser" test -s "$tmp/opened"
cat "$tmp/opened"
page=$(head -n 1 "$tmp/opened")
case $page in
file://*) ;;
*) page="file://$page" ;;
esac
render "$page" "$out/customer-report.png" 860
# The help page shows the report too, smaller, from the program's own resources.
convert "$out/customer-report.png" -resize 600x "$root/resources/help/customer-report.png"

kill -TERM "$pid"
wait "$pid" || true
pid=""
echo "Screenshots written to $out"
