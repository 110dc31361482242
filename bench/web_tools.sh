#!/usr/bin/env bash
# Two web tools against nginx on a private loopback, side by side with curl:
#  - one header exchange against `curl -0 -s -I` for the same page, median of 200;
#  - the broken-link check of a page of 500 links (450 there, 50 missing) against a sequential
#    loop of `curl -0 -s -I` over the same 500 targets.
# Usage: bench/web_tools.sh [BUILD_DIR] (a release build; run as root)
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
printf 'hosts: files\nservices: files\n' >"$work/nsswitch.conf"
mount --bind "$work/hosts" /etc/hosts
mount --bind "$work/nsswitch.conf" /etc/nsswitch.conf
mkdir -p "$work/site"
{
  echo "<html><body>"
  for i in $(seq 1 500); do
    echo "<a href=\"p$i.html\">page $i</a>"
    # Every tenth target is missing.
    [ $((i % 10)) -eq 0 ] || echo "<p>page $i</p>" >"$work/site/p$i.html"
  done
  echo "</body></html>"
} >"$work/site/links.html"
echo "<html><body>home</body></html>" >"$work/site/index.html"
seq 1 500 | sed 's|.*|url = "http://bench.test/p&.html"\noutput = "/dev/null"|' >"$work/curl.cfg"
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
cd "$work"
tools="$build/bench/korvane_web_tools"
# The same request from both: HEAD for the default page.
"$tools" header bench.test '' | head -1
"$root/bench/compare.sh" 200 "'$tools' header bench.test ''" \
  "curl -0 -s -I -H 'Connection: close' http://bench.test/"
echo "(a ratio up to 1.5 is the target)"
reported=$("$tools" broken bench.test links.html | grep -c 'Server code: 404' || true)
[ "$reported" -eq 50 ] || { echo "only $reported of 50 broken links reported"; exit 1; }
echo "broken links reported: $reported of 50"
"$root/bench/compare.sh" 5 "'$tools' broken bench.test links.html" \
  "curl -0 -s -I -H 'Connection: close' -K '$work/curl.cfg'"
echo "(a ratio up to 1.2 is the target)"
