#!/usr/bin/env bash
# Runs a command with a private X server and a throw-away Wine prefix, then takes both down.
#   wine-env.sh COMMAND...
# The Xvfb runs on a free display number and is stopped by its PID; the prefix is made anew
# under build/ for every run, so no test depends on the developer's display or prefix.
#
# Nothing run here may reach beyond this machine, though the programs under test carry the
# maker's real service addresses:
#   - where this may (root, or CAP_SYS_ADMIN), the command runs in a network namespace of its
#     own with only loopback: there is no network to reach;
#   - everywhere, WinHTTP and WinInet go through a proxy on a closed loopback port (in the
#     prefix's settings and in http_proxy), which refuses at once. Tests that need a service
#     run it on loopback and pass its address, which bypasses the proxy.
# TOVASEN_TEST_PROXY_PORT tells tests that port; TOVASEN_NETWORK says "loopback only" or "host".
# Setting TOVASEN_NETWORK=host beforehand skips the namespace, to try the proxy on its own.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)

if [ -z "${TOVASEN_NETWORK:-}" ]; then
  if command -v ip >/dev/null && unshare --net true 2>/dev/null; then
    export TOVASEN_NETWORK="loopback only"
    echo "wine-env.sh: running in a network namespace with loopback only" >&2
    exec unshare --net bash -c 'ip link set lo up && exec "$@"' wine-env "$0" "$@"
  fi
  export TOVASEN_NETWORK=host
  echo "wine-env.sh: no network namespace here (unshare --net was refused); the loopback proxy alone keeps tests on this machine" >&2
fi

# TOVASEN_WINEPREFIX lets two test runs on one machine keep separate prefixes.
export WINEPREFIX="${TOVASEN_WINEPREFIX:-$top/build/wineprefix}"
export WINEDEBUG=-all
export WINEARCH=win64

# A port nothing listens on, below the ephemeral range so no client socket lands on it later.
TOVASEN_TEST_PROXY_PORT=$(python3 - <<'EOF'
import random, socket
for _ in range(500):
    port = random.randint(20000, 32000)
    with socket.socket() as s:
        try:
            s.bind(("127.0.0.1", port))
        except OSError:
            continue
    print(port)
    break
EOF
)
[ -n "$TOVASEN_TEST_PROXY_PORT" ] || { echo "wine-env.sh: no free loopback port for the proxy" >&2; exit 1; }
export TOVASEN_TEST_PROXY_PORT TOVASEN_TEST_PROXY="127.0.0.1:$TOVASEN_TEST_PROXY_PORT"
export http_proxy="http://$TOVASEN_TEST_PROXY"
unset https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY

# shellcheck source=private-x.sh
. "$top/scripts/private-x.sh"
start_private_xvfb

rm -rf "$WINEPREFIX"
"$top/scripts/wine-prefix.sh"

"$@"
