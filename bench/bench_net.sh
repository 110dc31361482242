# Sourced by the benchmark scripts that need servers: a private network namespace with its own
# loopback and hosts file, and nginx serving a folder on 127.0.0.1:80.
#
#   bench_enter_namespace "$0" ARGS...   re-runs the script inside a new namespace (as root)
#   bench_network NAME                   loopback up; NAME resolves to 127.0.0.1; sets $work
#   bench_nginx SITE_FOLDER              starts nginx over the folder and waits for it

bench_enter_namespace() {
  if [ "${KORVANE_BENCH_INSIDE:-}" != 1 ]; then
    exec unshare --net --mount --pid --fork --mount-proc env KORVANE_BENCH_INSIDE=1 bash "$@"
  fi
}

bench_network() {
  work=$(mktemp -d /tmp/korvane-bench.XXXXXX)
  trap 'kill "${bench_nginx_pid:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
  ip link set lo up
  printf '127.0.0.1\tlocalhost %s\n' "$1" >"$work/hosts"
  printf 'hosts: files\nservices: files\n' >"$work/nsswitch.conf"
  mount --bind "$work/hosts" /etc/hosts
  mount --bind "$work/nsswitch.conf" /etc/nsswitch.conf
}

bench_nginx() {
  cat >"$work/nginx.conf" <<CONF
daemon off; master_process off; worker_processes 1;
pid $work/nginx.pid; error_log $work/error.log;
events { worker_connections 256; }
http {
  access_log off; keepalive_timeout 0; sendfile on;
  client_body_temp_path $work/cb; proxy_temp_path $work/px; fastcgi_temp_path $work/fc;
  uwsgi_temp_path $work/uw; scgi_temp_path $work/sc;
  server { listen 127.0.0.1:80; root $1; }
}
CONF
  nginx -c "$work/nginx.conf" -p "$work" &
  bench_nginx_pid=$!
  for _ in $(seq 1 100); do
    (exec 3<>/dev/tcp/127.0.0.1/80) 2>/dev/null && return 0
    sleep 0.05
  done
  echo "nginx did not start" >&2
  return 1
}
