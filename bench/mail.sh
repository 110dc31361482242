#!/usr/bin/env bash
# Mail merge of 90 copies over one connection against Python's smtplib sending the same 90
# messages over one connection too, to a local aiosmtpd in a private network namespace; then
# database e-mail to 10,000 customers, with its peak memory. Usage: bench/mail.sh [BUILD_DIR]
# (run as root)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
source "$root/bench/bench_net.sh"
bench_enter_namespace "$0" "$@"
bench_network localhost
# A sink that accepts and drops every message, so the server costs the same for both.
/usr/bin/python3 -m aiosmtpd -n -l 127.0.0.1:25 -c aiosmtpd.handlers.Sink 2>/dev/null &
bench_server_pid=$!
sleep 1
"$root/bench/compare.sh" --name "mail merge, 90 messages" 5 \
  "'$build/bench/korvane_send_mail' 127.0.0.1 90" \
  "/usr/bin/python3 '$root/bench/smtplib_merge.py' 127.0.0.1 25 90"
start=${EPOCHREALTIME/[.,]/}
"$build/bench/korvane_send_mail" 127.0.0.1 10000 customers 2>"$work/customers.err"
echo "database e-mail to 10,000 customers: $(((${EPOCHREALTIME/[.,]/} - start) / 1000)) ms"
sed 's/^peak memory:/peak memory of database e-mail:/' "$work/customers.err"
