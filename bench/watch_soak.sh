#!/usr/bin/env bash
# Soak of a watch over four 500-file folders against nginx on a private loopback: an hour of a
# one-minute watch (60 passes, run back to back). Memory and descriptors must stay flat.
# Usage: bench/watch_soak.sh [BUILD_DIR] [PASSES] (run as root)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
passes=${2:-60}
if [ "${KORVANE_BENCH_INSIDE:-}" != 1 ]; then
  exec unshare --net --mount --pid --fork --mount-proc env KORVANE_BENCH_INSIDE=1 bash "$0" "$build" "$passes"
fi
work=$(mktemp -d /tmp/korvane-bench.XXXXXX)
trap 'kill "${nginx:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
ip link set lo up
printf '127.0.0.1\tlocalhost soak.test\n' >"$work/hosts"
printf 'hosts: files\n' >"$work/nsswitch.conf"
mount --bind "$work/hosts" /etc/hosts
mount --bind "$work/nsswitch.conf" /etc/nsswitch.conf
mkdir -p "$work/site"
for f in 1 2 3 4; do
  mkdir -p "$work/local$f"
  for n in $(seq 1 500); do
    head -c $((2000 + n * 7)) /dev/urandom >"$work/local$f/f$f-$n.html"
    cp "$work/local$f/f$f-$n.html" "$work/site/"
  done
done
cat >"$work/nginx.conf" <<CONF
daemon off; master_process off; worker_processes 1;
pid $work/nginx.pid; error_log $work/error.log;
events { worker_connections 256; }
http {
  access_log off; keepalive_timeout 0;
  client_body_temp_path $work/cb; proxy_temp_path $work/px; fastcgi_temp_path $work/fc;
  uwsgi_temp_path $work/uw; scgi_temp_path $work/sc;
  server { listen 127.0.0.1:80; root $work/site; }
}
CONF
nginx -c "$work/nginx.conf" -p "$work" &
nginx=$!
sleep 0.5
"$build/bench/korvane_watch_soak" soak.test "$work/local1" "$work/local2" "$work/local3" \
  "$work/local4" "$passes"
