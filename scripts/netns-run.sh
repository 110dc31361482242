#!/usr/bin/env bash
# Runs a command inside a private network namespace made for the server tests: a loopback of its
# own (so port 80 is free and nothing of the machine's network is touched), the fixture hosts
# file with name resolution from files only, and nginx serving the fixture sites of tests/peers
# over HTTP and HTTPS.
# Every process started inside ends when the command ends.
#
#   scripts/netns-run.sh CMD [ARGS...]
#
# Inside, KORVANE_TEST_NET=1 tells the server tests that they may bind and connect.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ $# -eq 0 ]; then
  echo "usage: $0 CMD [ARGS...]" >&2
  exit 2
fi

if [ "${KORVANE_NETNS_INSIDE:-}" != 1 ]; then
  as_root=()
  # Without root a user namespace maps us to root inside, which is enough for the mounts.
  [ "$(id -u)" -eq 0 ] || as_root=(--map-root-user)
  exec unshare "${as_root[@]}" --net --mount --pid --fork --mount-proc \
    env KORVANE_NETNS_INSIDE=1 bash "$0" "$@"
fi

run=$(mktemp -d /tmp/korvane-netns.XXXXXX)
nginx_pid=""
smtp_pid=""
smtp_auth_pid=""
cleanup() {
  if [ -n "$smtp_auth_pid" ]; then
    kill "$smtp_auth_pid" 2>/dev/null || true
    wait "$smtp_auth_pid" 2>/dev/null || true
  fi
  if [ -n "$smtp_pid" ]; then
    kill "$smtp_pid" 2>/dev/null || true
    wait "$smtp_pid" 2>/dev/null || true
  fi
  if [ -n "$nginx_pid" ]; then
    kill "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
  fi
  rm -rf "$run"
}
trap cleanup EXIT

listening() { (exec 3<>"/dev/tcp/$1/$2") 2>/dev/null; }
# WHAT PID LOG CHECK...: waits until CHECK succeeds; when PID ends first, shows LOG and fails.
wait_for() {
  local what=$1 pid=$2 log=$3
  shift 3
  for _ in $(seq 1 200); do
    "$@" 2>/dev/null && return 0
    if ! kill -0 "$pid" 2>/dev/null; then
      echo "$what did not start:" >&2
      cat "$log" >&2 || true
      exit 1
    fi
    sleep 0.05
  done
}

ip link set lo up
# An IPv6 address besides ::1: the resolver answers an IPv4 question for a name listed as ::1
# with 127.0.0.1, so an IPv6-only name needs an address of its own.
ip -6 addr add fd00:6b76::1/128 dev lo nodad

# The scripted test server takes the first free address of 127.0.0.10 to 127.0.0.249, so that
# tests running side by side never share one; each address has a name of its own.
cp "$root/tests/peers/hosts" "$run/hosts"
for i in $(seq 10 249); do
  printf '127.0.0.%d\tscripted%d.test\n' "$i" "$i" >>"$run/hosts"
done
mount --bind "$run/hosts" /etc/hosts
mount --bind "$root/tests/peers/nsswitch.conf" /etc/nsswitch.conf

# Certificates for the HTTPS cases, from a test CA that only the tests trust.
bash "$root/tests/peers/make_certs.sh" "$run/certs"
export SSL_CERT_FILE="$run/certs/ca.pem"

sed -e "s|@RUN@|$run|g" -e "s|@SITE@|$root/tests/peers/site|g" \
  "$root/tests/peers/nginx.conf.in" >"$run/nginx.conf"
nginx -c "$run/nginx.conf" -p "$run" -e "$run/error.log" &
nginx_pid=$!

wait_for nginx "$nginx_pid" "$run/error.log" listening 127.0.0.1 80

# A real mail server on port 25 that keeps every message it receives, for the mail tests.
mkdir -p "$run/mail"
PYTHONPATH="$root/tests/peers" /usr/bin/python3 -m aiosmtpd -n -l 127.0.0.1:25 \
  -c smtp_store.RawStore "$run/mail" 2>"$run/smtp.log" &
smtp_pid=$!
wait_for "the mail server" "$smtp_pid" "$run/smtp.log" listening 127.0.0.1 25
export KORVANE_TEST_MAILDIR="$run/mail"

# The mail servers that ask for a login over an encrypted connection, storing in the same folder.
PYTHONPATH="$root/tests/peers" /usr/bin/python3 "$root/tests/peers/smtp_auth.py" "$run/certs" \
  "$run/mail" >"$run/smtp-auth.out" 2>"$run/smtp-auth.log" &
smtp_auth_pid=$!
wait_for "the mail servers with logins" "$smtp_auth_pid" "$run/smtp-auth.log" \
  grep -q ready "$run/smtp-auth.out"

export KORVANE_TEST_NET=1
status=0
"$@" || status=$?
exit "$status"
