#!/usr/bin/env bash
# Mail merge of 90 copies over one connection with STARTTLS and a login, against Python's smtplib
# doing the same over one connection, to the test network's aiosmtpd with logins in a private
# network namespace. Usage: bench/mail_secure.sh [BUILD_DIR] (run as root)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
source "$root/bench/bench_net.sh"
bench_enter_namespace "$0" "$@"
bench_network mail.test
bash "$root/tests/peers/make_certs.sh" "$work/certs"
export SSL_CERT_FILE="$work/certs/ca.pem"
# Both store what they send in the same way, so the server costs the same for both.
PYTHONPATH="$root/tests/peers" /usr/bin/python3 "$root/tests/peers/smtp_auth.py" "$work/certs" \
  "$work/mail" >"$work/smtp.out" 2>/dev/null &
bench_server_pid=$!
for _ in $(seq 1 200); do grep -q ready "$work/smtp.out" 2>/dev/null && break; sleep 0.05; done
password=$(/usr/bin/python3 -c 'import sys; sys.path.insert(0, "'"$root"'/tests/peers"); import smtp_auth; print(smtp_auth.PASSWORD.decode())')
export KORVANE_BENCH_LOGIN="587 mailer" KORVANE_BENCH_PASSWORD="$password"
"$root/bench/compare.sh" --name "mail merge, STARTTLS and login, 90" --goal "≤ 1.5" 5 \
  "'$build/bench/korvane_send_mail' mail.test 90" \
  "/usr/bin/python3 '$root/bench/smtplib_merge.py' mail.test 587 90 mailer '$password'"
echo "messages stored: $(ls "$work/mail" | grep -c '\.data$') (12 runs of 90 expected: 1080)"
