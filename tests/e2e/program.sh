# Sourced by the end-to-end scripts: the program's settings in the test prefix's registry, and
# its windows on the X display. The test programs share the prefix in whatever order they run,
# so a script starts from an empty key (start_with_settings) and leaves none behind (in its exit
# trap, clear_settings).
settings_key='HKCU\Software\Dravomix\Tovasen'

clear_settings() { wine reg delete "$settings_key" /f >/dev/null 2>&1; true; }
set_dword() { wine reg add "$settings_key" /v "$1" /t REG_DWORD /d "$2" /f >/dev/null 2>&1; }
set_text() { wine reg add "$settings_key" /v "$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1; }
# The stored number, in decimal; nothing when there is none.
stored() {
  local v
  v=$(wine reg query "$settings_key" /v "$1" 2>/dev/null | tr -d "\r" | awk -v n="$1" '$1 == n {print $3}')
  [ -n "$v" ] && echo $((v))
}

# start_with_settings NAME=VALUE...: an empty key, then each value (a number is a DWORD, anything
# else text).
start_with_settings() {
  clear_settings
  local setting name value
  for setting in "$@"; do
    name=${setting%%=*} value=${setting#*=}
    if [[ $value =~ ^[0-9]+$ ]]; then set_dword "$name" "$value"; else set_text "$name" "$value"; fi
  done
}

# visible_window TITLE_REGEX: prints the first visible window whose title matches, once there is
# one; fails after 60 s (a loaded machine can take well over ten seconds to bring a fresh Wine
# process up).
visible_window() {
  local window
  for _ in $(seq 600); do
    window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -n "$window" ] && { echo "$window"; return 0; }
    sleep 0.1
  done
  return 1
}

# show_windows: every visible window's title, for a failure's message.
show_windows() {
  local window
  echo "visible windows:"
  for window in $(xdotool search --onlyvisible --name "" 2>/dev/null); do
    echo "  \"$(xdotool getwindowname "$window" 2>/dev/null)\""
  done
}
