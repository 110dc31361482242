#!/usr/bin/env bash
# Mail merge of 90 copies over one connection against swaks sending the same 90 messages one
# connection each, to a local aiosmtpd in a private network namespace; then database e-mail to
# 10,000 customers, with its peak memory. Usage: bench/mail.sh [BUILD_DIR] (run as root)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
command -v swaks >/dev/null || { echo "swaks is missing: run scripts/install-deps.sh"; exit 1; }
if [ "${KORVANE_BENCH_INSIDE:-}" != 1 ]; then
  exec unshare --net --mount --pid --fork --mount-proc env KORVANE_BENCH_INSIDE=1 bash "$0" "$build"
fi
ip link set lo up
work=$(mktemp -d /tmp/korvane-bench.XXXXXX)
trap 'kill "${smtp:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
# A sink that accepts and drops every message, so the server costs the same for both.
/usr/bin/python3 -m aiosmtpd -n -l 127.0.0.1:25 -c aiosmtpd.handlers.Sink 2>/dev/null &
smtp=$!
sleep 1
swaks_90() {
  for _ in $(seq 1 90); do
    swaks --silent 2 --server 127.0.0.1 --from shop@bench.test --to someone@bench.test \
      --header 'Subject: Benchmark' --body 'A short message of two lines' >/dev/null
  done
}
export -f swaks_90
"$root/bench/compare.sh" 5 "'$build/bench/korvane_send_mail' 127.0.0.1 90" "bash -c swaks_90"
echo "(a ratio below 1 means Korvane is faster)"
echo "== Database email to 10,000 customers"
start=$(date +%s%N)
"$build/bench/korvane_send_mail" 127.0.0.1 10000 customers
echo "elapsed: $(( ($(date +%s%N) - start) / 1000000 )) ms"
