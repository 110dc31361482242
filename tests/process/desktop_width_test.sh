#!/usr/bin/env bash
# The program refuses a desktop narrower than 800 pixels with a message and exit code 0, and
# starts on one exactly 800 wide, placing its frame at the top-left corner there.
set -euo pipefail
program=$1
if [ -z "${KORVANE_IN_XVFB:-}" ]; then
  command -v xvfb-run >/dev/null || { echo "xvfb-run is missing"; exit 1; }
  status=0
  for width in 799 800; do
    KORVANE_IN_XVFB=$width xvfb-run -a -s "-screen 0 ${width}x600x24" "$0" "$program" || status=1
  done
  [ "$status" -eq 0 ] && echo "desktop width: 2 passed, 0 failed"
  exit "$status"
fi

width=$KORVANE_IN_XVFB
work=$(mktemp -d)
export XDG_RUNTIME_DIR=$(mktemp -d)
unset QT_QPA_PLATFORM
cd "$work"
trap 'kill "${pid:-0}" 2>/dev/null || true; rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT
fail() { echo "FAIL (width $width): $*"; exit 1; }

"$program" >program.log 2>&1 &
pid=$!
wait_for_window() {
  for _ in $(seq 1 150); do
    xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 && return 0
    sleep 0.2
  done
  return 1
}

if [ "$width" -lt 800 ]; then
  box=$(wait_for_window '^Problem$') || fail "no \"Problem\" message box"
  xdotool search --onlyvisible --name '^KORVANE$' >/dev/null 2>&1 && fail "the main window showed"
  xdotool windowfocus --sync "$box"
  xdotool key Return
  status=0
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || fail "exit code $status"
  [ ! -e kv.cfg ] || fail "kv.cfg was written although the program never started"
else
  frame=$(wait_for_window '^KORVANE$') || fail "the main window did not show"
  eval "$(xdotool getwindowgeometry --shell "$frame")"
  [ "$X" -eq 0 ] && [ "$Y" -eq 0 ] || fail "main window at $X,$Y, not at the corner"
  kill -TERM "$pid"
  status=0
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || fail "exit code $status"
fi
