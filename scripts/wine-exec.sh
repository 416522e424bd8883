#!/usr/bin/env bash
# CTest's emulator for the Windows test programs. It refuses to run outside wine-env.sh so a
# test never touches the developer's own Wine prefix or display.
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  echo "wine-exec.sh: run the tests through scripts/wine-env.sh" >&2
  exit 2
fi
exec wine "$@"
