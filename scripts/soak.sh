#!/usr/bin/env bash
# Soak of the program as a whole, not run by the tests: for MINUTES minutes (10 by default) one
# process runs a monitoring watch, link extraction, folder verification, database changes and
# mail side by side against nginx and the mail server of the test network, and prints memory
# (VmRSS, VmHWM), open descriptors and threads at the start, every minute and at the end. It ends
# with status 1 when any run reported a problem (printed on standard error).
#
#   scripts/soak.sh [MINUTES] [BUILD_DIR]      (as root; BUILD_DIR defaults to build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-10}
build=$(realpath "${2:-$root/build}")
cmake --build "$build" --target korvane_soak -j 2 >/dev/null
exec "$root/scripts/netns-run.sh" "$build/bench/korvane_soak" "$minutes" "$root/tests/peers/site"
