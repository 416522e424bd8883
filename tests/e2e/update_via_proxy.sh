#!/usr/bin/env bash
# End to end: the shipped program, carrying the maker's real addresses, stays on this machine
# in the test environment. A listener on the environment's proxy port (TOVASEN_TEST_PROXY_PORT,
# see scripts/wine-env.sh) receives the update request (WinHTTP) at start and the image upload
# (WinInet, a tunnel for HTTPS) of a scripted capture, each for the maker's host; strace shows
# that no process of Wine connected anywhere else. Runs inside scripts/wine-env.sh.
#   update_via_proxy.sh BIN_DIR UPDATE_URL UPLOAD_HOST
set -uo pipefail
bin=$1 update_url=$2 upload_host=$3
: "${TOVASEN_TEST_PROXY_PORT:?run through scripts/wine-env.sh}"
port=$TOVASEN_TEST_PROXY_PORT
work=$(mktemp -d)
source "$(dirname "$0")/program.sh"
listener="" traced=""
cleanup() {
  wineserver -k >/dev/null 2>&1
  [ -z "$listener" ] || kill "$listener" 2>/dev/null
  [ -z "$traced" ] || wait "$traced" 2>/dev/null
  wine reg delete 'HKCU\Software\Dravomix' /f >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$work/requests" ] && { echo "requests:"; cat "$work/requests"; }; exit 1; }
strace -qq -e trace=none true 2>/dev/null || fail "strace cannot trace here (is ptrace allowed?): where Wine connects stays unproven"
update_host=$(sed -E 's#^https://([^/:]+).*#\1#' <<<"$update_url")

# Logs each request's first line and user agent, and answers as a proxy that cannot reach the
# server would.
python3 - "$port" "$work" <<'EOF' &
import socket, sys, os
port, work = int(sys.argv[1]), sys.argv[2]
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", port))
server.listen(8)
open(os.path.join(work, "ready"), "w").close()
while True:
    client, _ = server.accept()
    client.settimeout(10)
    head = b""
    try:
        while b"\r\n\r\n" not in head and len(head) < 65536:
            chunk = client.recv(4096)
            if not chunk:
                break
            head += chunk
    except OSError:
        pass
    lines = head.split(b"\r\n\r\n")[0].decode("latin-1").split("\r\n")
    agent = next((l.split(":", 1)[1].strip() for l in lines[1:] if l.lower().startswith("user-agent:")), "")
    with open(os.path.join(work, "requests"), "a") as log:
        log.write(f"{lines[0]}\t{agent}\n")
    try:
        client.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
    except OSError:
        pass
    client.close()
EOF
listener=$!
for _ in $(seq 100); do [ -f "$work/ready" ] && break; sleep 0.1; done
[ -f "$work/ready" ] || fail "the listener did not start on port $port"

# Full screen to the upload target, silent, no copy to the clipboard.
start_with_settings "path=$(winepath -w "$work")" area=0 saveto=8 sound=1 autocopy=0
# A fresh wineserver for the traced run, so every process of Wine is under strace.
wineserver -k >/dev/null 2>&1; wineserver -w

strace -f -qq -e trace=connect,sendto,sendmsg -o "$work/trace" wine "$bin/Tovasen.exe" /start 2>/dev/null &
traced=$!

await_request() { # pattern
  # Wine started under strace -f is slow to come up on a busy machine: up to three minutes.
  for _ in $(seq 1800); do
    grep -q "$1" "$work/requests" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "no request matching '$1' reached the proxy"
}
await_request "^CONNECT "
grep -qxF "CONNECT $update_host:443 HTTP/1.1	Tovasen" "$work/requests" \
  || fail "the update request is not a CONNECT to $update_host:443 from Tovasen"
echo "ok: the update check asked the proxy for $update_host:443"

# The capture's outcome is the controller's business; here only where the upload goes counts.
wine "$bin/tovasen-cmd.exe" --timeout 30 capture >/dev/null 2>&1 &
await_request "^CONNECT $upload_host:"
grep -qxE "CONNECT $upload_host:443 HTTP/1\.[01]	Tovasen Uploader" "$work/requests" \
  || fail "the upload is not a tunnel to $upload_host:443 (HTTPS) through the proxy"
echo "ok: the upload asked the proxy for a tunnel to $upload_host:443"

# A failed upload may leave a message box up: end every process of the prefix, then the trace.
wineserver -k >/dev/null 2>&1
wait "$traced" 2>/dev/null; traced=""

# Every address any process of Wine used: the proxy's, nothing else.
inet=$(python3 - "$work/trace" <<'EOF'
import collections, re, sys
address = re.compile(r'sa_family=AF_INET6?, sin6?_port=htons\((\d+)\), '
                     r'(?:sin_addr=inet_addr\("([^"]+)"\)|sin6_flowinfo=[^,]*, inet_pton\(AF_INET6, "([^"]+)")')
seen = collections.Counter()
for line in open(sys.argv[1], errors="replace"):
    for port, v4, v6 in address.findall(line):
        seen[f"{v4 or v6}:{port}"] += 1
for where, count in sorted(seen.items()):
    print(count, where)
EOF
)
grep -q " 127\.0\.0\.1:$port\$" <<<"$inet" || fail "strace saw no connection to the proxy: $inet"
# Besides the proxy only Wine's printing support may knock, at a local print server (CUPS).
others=$(grep -vE " (127\.0\.0\.1:$port|127\.0\.0\.1:631|::1:631)\$" <<<"$inet" || true)
[ -z "$others" ] || fail "Wine connected elsewhere than the proxy:
$others"
echo "ok: the traced processes connected to the proxy and to nothing else but a local print server:"
sed 's/^/     /' <<<"$inet"
echo "PASS: the shipped program's update check and upload reach only the loopback proxy"
