#!/usr/bin/env bash
# Makes the test network's certificates in DIR with the openssl command: a test CA (ca.pem, which
# the tests trust through SSL_CERT_FILE) and one certificate per case, each served by nginx on an
# address of its own. Dates are relative to now, so the cases hold whenever the tests run.
#   tests/peers/make_certs.sh DIR
set -euo pipefail
dir=$1
mkdir -p "$dir/issued"
cd "$dir"
: >index.txt
echo 1000 >serial
cat >ca.cnf <<'CNF'
[ca]
default_ca = test_ca
[test_ca]
database = index.txt
serial = serial
new_certs_dir = issued
default_md = sha256
policy = any_name
copy_extensions = copy
unique_subject = no
[any_name]
commonName = supplied
[v3ca]
basicConstraints = critical,CA:true
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
CNF
quiet() { "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; "$@" >&2; exit 1; }; }
key=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
quiet openssl req -x509 -new "${key[@]}" -keyout ca.key -out ca.pem -days 3650 \
  -subj "/CN=Korvane Test CA" -config ca.cnf -extensions v3ca
stamp() { date -u -d "$1" +%y%m%d%H%M%SZ; }

# NAME CN SANS FROM UNTIL: a key NAME.key and a certificate NAME.pem signed by the test CA.
issue() {
  quiet openssl req -new "${key[@]}" -keyout "$1.key" -out "$1.csr" -subj "/CN=$2" \
    -addext "subjectAltName=$3"
  quiet openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -in "$1.csr" \
    -out "$1.pem" -startdate "$(stamp "$4")" -enddate "$(stamp "$5")" -notext
}
issue valid site.test "DNS:site.test,DNS:www.site.test,IP:127.0.0.1,DNS:chain.test,DNS:www.chain.test,DNS:secure.test" "-1 day" "+400 days"
issue expired expired.test "DNS:expired.test" "-90 days" "-7 days"
issue other www.other.test "DNS:www.other.test" "-1 day" "+400 days"
issue mail mail.test "DNS:mail.test" "-1 day" "+400 days"
issue soon soon.test "DNS:soon.test" "-30 days" "+5 days"
quiet openssl req -x509 -new "${key[@]}" -keyout self.key -out self.pem -days 400 \
  -subj "/CN=self.test" -addext "subjectAltName=DNS:self.test"
