#!/usr/bin/env bash
# Runs a command with a private X server and a throw-away Wine prefix, then takes both down.
#   wine-env.sh COMMAND...
# The Xvfb runs on a free display number and is stopped by its PID; the prefix is made anew
# under build/ for every run, so no test depends on the developer's display or prefix.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="$top/build/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64

# shellcheck source=private-x.sh
. "$top/scripts/private-x.sh"
start_private_xvfb

rm -rf "$WINEPREFIX"
"$top/scripts/wine-prefix.sh"

"$@"
