#!/usr/bin/env bash
# Runs a Windows test program with a TLS front for its local plain-HTTP server: makes a test CA
# and a certificate for "localhost" (plus one from a CA nobody trusts), picks the port the
# program's server is to listen on, starts tls_front.py and hands the ports and the CA file to
# the program through the environment.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
front=""
cleanup() {
  if [ -n "$front" ]; then kill "$front" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

make_chain() {  # name: a CA and a localhost certificate signed by it
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tovasen upload test CA $1" \
    -keyout "$work/$1-ca.key" -out "$work/$1-ca.pem" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout "$work/$1.key" -out "$work/$1.csr" 2>/dev/null
  printf 'subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\n' > "$work/$1.ext"
  openssl x509 -req -in "$work/$1.csr" -CA "$work/$1-ca.pem" -CAkey "$work/$1-ca.key" -CAcreateserial \
    -days 2 -extfile "$work/$1.ext" -out "$work/$1.pem" 2>/dev/null
}
make_chain server
make_chain other
openssl x509 -in "$work/server-ca.pem" -outform DER -out "$work/ca.der"

backend=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
python3 "$here/tls_front.py" "$work" "$backend" &
front=$!
for _ in $(seq 1 100); do [ -f "$work/ports" ] && break; sleep 0.1; done
read -r trusted untrusted < "$work/ports"

export TOVASEN_TEST_TLS_PORT=$trusted TOVASEN_TEST_UNTRUSTED_TLS_PORT=$untrusted TOVASEN_TEST_TLS_BACKEND_PORT=$backend
export TOVASEN_TEST_TLS_CA="Z:${work//\//\\}\\ca.der"
"$here/../../../scripts/wine-exec.sh" "$@"
