#!/usr/bin/env bash
# Soak of a watch over four 500-file folders against nginx on a private loopback: an hour of a
# one-minute watch (60 passes, run back to back). Memory and descriptors must stay flat.
# Usage: bench/watch_soak.sh [BUILD_DIR] [PASSES] (run as root)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
passes=${2:-60}
source "$root/bench/bench_net.sh"
bench_enter_namespace "$0" "$@"
bench_network soak.test
mkdir -p "$work/site"
for f in 1 2 3 4; do
  mkdir -p "$work/local$f"
  for n in $(seq 1 500); do
    head -c $((2000 + n * 7)) /dev/urandom >"$work/local$f/f$f-$n.html"
    cp "$work/local$f/f$f-$n.html" "$work/site/"
  done
done
bench_nginx "$work/site"
"$build/bench/korvane_watch_soak" soak.test "$work/local1" "$work/local2" "$work/local3" \
  "$work/local4" "$passes"
