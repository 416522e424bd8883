#!/usr/bin/env bash
# Runs a Windows test program with a local HTTPS server beside it: makes a test CA and a
# certificate for "localhost" (plus one from a CA nobody trusts), starts https_server.py and
# hands the ports, the CA file and the request log to the program through the environment.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
server=""
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

make_chain() {  # name: a CA and a localhost certificate signed by it
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tovasen test CA $1" \
    -keyout "$work/$1-ca.key" -out "$work/$1-ca.pem" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout "$work/$1.key" -out "$work/$1.csr" 2>/dev/null
  printf 'subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\n' > "$work/$1.ext"
  openssl x509 -req -in "$work/$1.csr" -CA "$work/$1-ca.pem" -CAkey "$work/$1-ca.key" -CAcreateserial \
    -days 2 -extfile "$work/$1.ext" -out "$work/$1.pem" 2>/dev/null
}
make_chain server
make_chain other
openssl x509 -in "$work/server-ca.pem" -outform DER -out "$work/ca.der"

python3 "$here/https_server.py" "$work" &
server=$!
for _ in $(seq 1 100); do [ -f "$work/ports" ] && break; sleep 0.1; done
read -r trusted untrusted plain < "$work/ports"

export TOVASEN_TEST_HTTPS_PORT=$trusted TOVASEN_TEST_UNTRUSTED_PORT=$untrusted TOVASEN_TEST_HTTP_PORT=$plain
export TOVASEN_TEST_CA="Z:${work//\//\\}\\ca.der" TOVASEN_TEST_LOG="Z:${work//\//\\}\\log"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-}"
"$here/../../../scripts/wine-exec.sh" "$@"
