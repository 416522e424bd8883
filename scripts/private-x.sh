# Sourced by the scripts that need a private X server. Defines start_private_xvfb, which starts
# Xvfb on a free display number, exports DISPLAY, and arranges for that Xvfb (by its PID, never
# by name) and the prefix's wineserver to be stopped when the script exits. TOVASEN_SCREEN sets
# its screen (default 1280x1024x24), for a benchmark that needs a larger one.

xvfb_pid=""

stop_private_x() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
}

start_private_xvfb() {
  local n display=""
  for n in $(seq 90 190); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
  done
  [ -n "$display" ] || { echo "no free X display number" >&2; return 1; }
  Xvfb ":$display" -screen 0 "${TOVASEN_SCREEN:-1280x1024x24}" -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
  [ -e "/tmp/.X11-unix/X$display" ] || { echo "Xvfb did not start on :$display" >&2; return 1; }
  export DISPLAY=":$display"
}

trap stop_private_x EXIT
trap 'exit 130' INT TERM
