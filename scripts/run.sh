#!/usr/bin/env bash
# Installs what is missing, builds, and starts Korvane in the current folder, where its working
# files and kv.cfg live. Without a display it runs in a virtual one.
set -euo pipefail
here=$(pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"
cd "$here"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$root/build/src/korvane"
fi
echo "No display found: starting Korvane in a virtual display (xvfb-run)."
exec xvfb-run -a -s "-screen 0 1024x768x24" "$root/build/src/korvane"
