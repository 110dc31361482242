#!/usr/bin/env bash
# Folder verification of a 2,000-file site (about 180 MB) against nginx on a private loopback,
# side by side with curl fetching the same 2,000 URLs, a new connection each, to /dev/null.
# Usage: bench/folder_verify.sh [BUILD_DIR] (a release build; run as root)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
if [ "${KORVANE_BENCH_INSIDE:-}" != 1 ]; then
  exec unshare --net --mount --pid --fork --mount-proc env KORVANE_BENCH_INSIDE=1 bash "$0" "$build"
fi
work=$(mktemp -d /tmp/korvane-bench.XXXXXX)
trap 'kill "${nginx:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
ip link set lo up
printf '127.0.0.1\tlocalhost bench.test\n' >"$work/hosts"
printf 'hosts: files\n' >"$work/nsswitch.conf"
mount --bind "$work/hosts" /etc/hosts
mount --bind "$work/nsswitch.conf" /etc/nsswitch.conf
python3 "$root/bench/make_site.py" "$work/site"
cat >"$work/nginx.conf" <<CONF
daemon off; master_process off; worker_processes 1;
pid $work/nginx.pid; error_log $work/error.log;
events { worker_connections 256; }
http {
  access_log off; keepalive_timeout 0; sendfile on;
  client_body_temp_path $work/cb; proxy_temp_path $work/px; fastcgi_temp_path $work/fc;
  uwsgi_temp_path $work/uw; scgi_temp_path $work/sc;
  server { listen 127.0.0.1:80; root $work/site; }
}
CONF
nginx -c "$work/nginx.conf" -p "$work" &
nginx=$!
sleep 0.5
sed 's|^|url = "http://bench.test/|; s|$|"\noutput = "/dev/null"|' "$work/site.names" >"$work/curl.cfg"
cd "$work"
report=$("$build/bench/korvane_verify_folder" bench.test "$work/site")
verified=$(grep -c '^Integrity verified' <<<"$report" || true)
[ "$verified" -eq 2000 ] || { echo "only $verified files verified"; echo "$report" | head; exit 1; }
"$root/bench/compare.sh" 5 "'$build/bench/korvane_verify_folder' bench.test '$work/site'" \
  "curl -0 -s -H 'Connection: close' -K '$work/curl.cfg'"
echo "(a ratio below 1 means Korvane is faster)"
