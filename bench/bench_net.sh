# Sourced by the benchmark scripts that need servers: a private network namespace with its own
# loopback and hosts file, and nginx serving a folder on 127.0.0.1:80.
#
#   bench_enter_namespace "$0" ARGS...   re-runs the script inside a new namespace (as root)
#   bench_network NAME                   loopback up; NAME resolves to 127.0.0.1; sets $work;
#                                        at the end stops nginx and $bench_server_pid, a server
#                                        of the script's own
#   bench_certs NAME                     a test CA ($work/ca.pem, trusted through SSL_CERT_FILE)
#                                        and a certificate for NAME; nginx then serves 443 too
#   bench_nginx SITE_FOLDER              starts nginx over the folder and waits for it

bench_enter_namespace() {
  if [ "${KORVANE_BENCH_INSIDE:-}" != 1 ]; then
    exec unshare --net --mount --pid --fork --mount-proc env KORVANE_BENCH_INSIDE=1 bash "$@"
  fi
}

bench_network() {
  work=$(mktemp -d /tmp/korvane-bench.XXXXXX)
  # Only the servers that were started: a pid of 0 would stop the whole process group.
  trap 'kill ${bench_nginx_pid:-} ${bench_server_pid:-} 2>/dev/null || true; rm -rf "$work"' EXIT
  ip link set lo up
  printf '127.0.0.1\tlocalhost %s\n' "$1" >"$work/hosts"
  printf 'hosts: files\nservices: files\n' >"$work/nsswitch.conf"
  mount --bind "$work/hosts" /etc/hosts
  mount --bind "$work/nsswitch.conf" /etc/nsswitch.conf
}

bench_certs() {
  (
    cd "$work"
    openssl req -x509 -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
      -subj "/CN=Bench CA" -keyout ca.key -out ca.pem \
      -addext basicConstraints=critical,CA:true -addext keyUsage=keyCertSign 2>/dev/null
    openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj "/CN=$1" \
      -keyout server.key -out server.csr 2>/dev/null
    printf 'subjectAltName=DNS:%s\n' "$1" >server.ext
    openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
      -extfile server.ext -out server.pem 2>/dev/null
  )
  export SSL_CERT_FILE="$work/ca.pem"
  bench_tls="listen 127.0.0.1:443 ssl; ssl_certificate $work/server.pem; ssl_certificate_key $work/server.key;"
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
  ssl_protocols TLSv1.2 TLSv1.3;
  server { listen 127.0.0.1:80; ${bench_tls:-} root $1; }
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
