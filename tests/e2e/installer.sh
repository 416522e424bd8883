#!/usr/bin/env bash
# End to end: the setup program and its uninstaller, silent, for a user who already has settings.
# Install; an install and an uninstall that meet an instance which will not exit; an upgrade over
# a running instance; the quiet uninstall the uninstall entry names. Runs inside
# scripts/wine-env.sh (DISPLAY, WINEPREFIX).
#   installer.sh SETUP_EXE ZIP HOLD_INSTANCE_MUTEX_EXE
set -uo pipefail
setup=$1 zip=$2 holder=$3
here=$(cd "$(dirname "$0")" && pwd)
version=$(basename "$setup" | sed -n 's/^Tovasen-Setup-\(.*\)\.exe$/\1/p')
[ -n "$version" ] || { echo "FAIL: cannot read the version from $setup"; exit 1; }

# Shortcuts must not turn into .desktop files of the Linux user running the tests.
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
work=$(mktemp -d)
settings='HKCU\Software\Dravomix\Tovasen'
uninst_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tovasen'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
cleanup() {
  touch "$work/release"
  wineserver -k >/dev/null 2>&1
  # Later tests in this prefix start from a user without Tovasen settings.
  wine reg delete "$settings" /f >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; exit 1; }
pass() { echo "ok: $*"; }
win_env() { wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }
reg_value() { # key name -> the value's data; nothing when it does not exist
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' \
    | sed -n "s/^ *$2  *REG_[A-Z_]*  *//p"
}
expect_value() { # key name expected
  local actual
  actual=$(reg_value "$1" "$2")
  [ "$actual" = "$3" ] || fail "$1\\$2 is '$actual', expected '$3'"
}
has_key() { wine reg query "$1" >/dev/null 2>&1; }
instances() { # "pid command line" of every Tovasen.exe of this prefix
  local p
  for p in /proc/[0-9]*; do
    [ "$(cat "$p/comm" 2>/dev/null)" = Tovasen.exe ] || continue
    tr '\0' '\n' <"$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    echo "${p#/proc/} $(tr '\0' ' ' <"$p/cmdline" | sed 's/ *$//')"
  done
}
# Waits until exactly one instance other than pid $1 runs with a visible main window and stays
# the only one; prints its "pid command line".
await_one_instance() {
  local not=$1 list=""
  for _ in $(seq 300); do
    list=$(instances)
    if [ "$(printf '%s' "$list" | grep -c .)" = 1 ] && [ "${list%% *}" != "$not" ] \
      && [ -n "$(xdotool search --onlyvisible --name '^Tovasen$' 2>/dev/null)" ]; then
      sleep 1
      [ "$(instances)" = "$list" ] && { printf '%s\n' "$list"; return 0; }
    fi
    sleep 0.1
  done
  echo "FAIL: expected one running Tovasen (not pid $not), found:" >&2
  printf '%s\n' "$list" >&2
  return 1
}
await_no_instance() {
  for _ in $(seq 300); do
    [ -z "$(instances)" ] && return 0
    sleep 0.1
  done
  fail "Tovasen still runs: $(instances)"
}
same_files() { # folder: the installed files are the zip's, plus the uninstaller
  diff -r "$work/zip/Tovasen" "$instdir" -x uninstall.exe >"$work/diff" 2>&1 \
    || fail "the installed files differ from the zip's ($1): $(cat "$work/diff")"
  [ -f "$instdir/uninstall.exe" ] || fail "uninstall.exe is missing ($1)"
}

unzip -q "$zip" -d "$work/zip" || fail "cannot unpack $zip"
local_appdata=$(win_env LOCALAPPDATA)
appdata=$(win_env APPDATA)
[ -n "$local_appdata" ] && [ -n "$appdata" ] || fail "cannot read the user's folders from Wine"
instdir_w="$local_appdata\\Programs\\Tovasen"
instdir=$(winepath -u "$instdir_w" 2>/dev/null)
exe_w="$instdir_w\\Tovasen.exe"
shortcut=$(winepath -u "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\Tovasen.lnk" 2>/dev/null)

# A user who used Tovasen before (the zip, say) has settings.
wine reg add "$settings" /v append /t REG_DWORD /d 2 /f >/dev/null 2>&1
wine reg add "$settings" /v jpeg_quality /t REG_DWORD /d 3 /f >/dev/null 2>&1

# --- Silent install ---------------------------------------------------------------------------
wine "$setup" /S
rc=$?
[ $rc -eq 0 ] || fail "silent install exited with $rc"
same_files "install"
pass "files in $instdir_w"

lnk=$(python3 "$here/lnk_fields.py" "$shortcut") || fail "no readable Start menu shortcut at $shortcut"
grep -qxF "target=$exe_w" <<<"$lnk" || fail "the shortcut points elsewhere: $lnk"
pass "Start menu shortcut to $exe_w"

expect_value "$uninst_key" DisplayName "Tovasen"
expect_value "$uninst_key" DisplayVersion "$version"
expect_value "$uninst_key" Publisher "Dravomix"
expect_value "$uninst_key" DisplayIcon "$exe_w,0"
expect_value "$uninst_key" InstallLocation "$instdir_w"
expect_value "$uninst_key" UninstallString "\"$instdir_w\\uninstall.exe\""
expect_value "$uninst_key" QuietUninstallString "\"$instdir_w\\uninstall.exe\" /S"
size_kb=$(( $(reg_value "$uninst_key" EstimatedSize) ))
real_kb=$(( $(du -sb "$instdir" | cut -f1) / 1024 ))
[ $size_kb -gt $((real_kb * 98 / 100)) ] && [ $size_kb -le $((real_kb + 64)) ] \
  || fail "EstimatedSize is $size_kb KB, the folder holds $real_kb KB"
pass "uninstall entry ($size_kb KB)"

expect_value "$run_key" Tovasen "\"$exe_w\" /start"
pass "autostart value"

first=$(await_one_instance 0) || exit 1
[ "${first#* }" = "$exe_w /inst" ] || fail "the running instance is '${first#* }'"
pass "one instance: $first"

# A setting changed while the program runs.
wine reg add "$settings" /v sound /t REG_DWORD /d 1 /f >/dev/null 2>&1

# --- An instance that does not exit (a recording runs) stops both setup and uninstall ---------
wine "$exe_w" /uninst
await_no_instance
rm "$instdir/licenses/zlib.txt"
wine "$holder" "$(winepath -w "$work/ready")" "$(winepath -w "$work/release")" &
holder_pid=$!
for _ in $(seq 300); do [ -f "$work/ready" ] && break; sleep 0.1; done
[ -f "$work/ready" ] || fail "the stand-in instance did not start"
wine "$setup" /S
rc=$?
[ $rc -ne 0 ] || fail "setup reported success while an instance would not exit"
[ ! -f "$instdir/licenses/zlib.txt" ] || fail "setup replaced files while an instance would not exit"
pass "setup gives up with exit code $rc while an instance will not exit"
# "_?=" runs the uninstaller in place, so its exit code is the outcome.
wine "$instdir_w\\uninstall.exe" /S "_?=$instdir_w"
rc=$?
[ $rc -ne 0 ] || fail "the uninstaller reported success while an instance would not exit"
[ -f "$instdir/Tovasen.exe" ] && has_key "$uninst_key" \
  || fail "the uninstaller removed Tovasen while an instance would not exit"
pass "uninstall gives up with exit code $rc while an instance will not exit"
touch "$work/release"
wait "$holder_pid"

# --- Upgrade over a running instance ----------------------------------------------------------
wine "$exe_w" /start &
running=$(for _ in $(seq 300); do l=$(instances); [ -n "$l" ] && { echo "$l"; break; }; sleep 0.1; done)
[ "$(printf '%s' "$running" | grep -c .)" = 1 ] || fail "expected one instance before the upgrade: $running"
# Make the old install differ from the new one: a different version, a changed and a missing file
# (appending leaves the running program's mapped pages alone).
wine reg add "$uninst_key" /v DisplayVersion /d 0.9.0 /f >/dev/null 2>&1
printf 'old build' >>"$instdir/Tovasen.exe"
printf 'old dll' >"$instdir/libwebp.dll"
wine "$setup" /S
rc=$?
[ $rc -eq 0 ] || fail "the upgrade exited with $rc"
second=$(await_one_instance "${running%% *}") || exit 1
[ "${second#* }" = "$exe_w /inst" ] || fail "after the upgrade the instance is '${second#* }'"
same_files "upgrade"
expect_value "$uninst_key" DisplayVersion "$version"
expect_value "$run_key" Tovasen "\"$exe_w\" /start"
for v in "append 0x2" "jpeg_quality 0x3" "sound 0x1"; do
  expect_value "$settings" "${v% *}" "${v#* }"
done
pass "upgrade: instance ${running%% *} replaced by $second, files replaced, settings kept"

# --- Silent uninstall, as the uninstall entry says -------------------------------------------
quiet=$(reg_value "$uninst_key" QuietUninstallString)
uninstaller=$(sed -n 's/^"\([^"]*\)" \/S$/\1/p' <<<"$quiet")
[ -n "$uninstaller" ] || fail "cannot read QuietUninstallString '$quiet'"
# The uninstaller hands over to a copy of itself in the temporary folder and returns at once.
wine "$uninstaller" /S
rc=$?
[ $rc -eq 0 ] || fail "silent uninstall exited with $rc"
for _ in $(seq 600); do [ -e "$instdir" ] || break; sleep 0.1; done
[ ! -e "$instdir" ] || fail "the install folder is still there: $(ls -R "$instdir")"
await_no_instance
[ ! -e "$shortcut" ] || fail "the shortcut is still there"
! has_key "$uninst_key" || fail "the uninstall entry is still there"
[ -z "$(reg_value "$run_key" Tovasen)" ] || fail "the autostart value is still there"
for v in "append 0x2" "jpeg_quality 0x3" "sound 0x1"; do
  expect_value "$settings" "${v% *}" "${v#* }"
done
pass "silent uninstall removed the program, shortcut, entry and autostart value and kept the settings"

# --- Silent uninstall that also removes the settings --------------------------------------------
wine "$setup" /S
rc=$?
[ $rc -eq 0 ] || fail "the second install exited with $rc"
await_one_instance 0 >/dev/null || exit 1
wine reg add 'HKCU\Software\Dravomix' /v KUID /d installer-test /f >/dev/null 2>&1
wine "$instdir_w\\uninstall.exe" /S /REMOVESETTINGS
for _ in $(seq 600); do [ -e "$instdir" ] || break; sleep 0.1; done
[ ! -e "$instdir" ] || fail "the install folder is still there after /REMOVESETTINGS"
await_no_instance
! has_key "$uninst_key" || fail "the uninstall entry is still there after /REMOVESETTINGS"
! has_key 'HKCU\Software\Dravomix' || fail "the settings are still there: $(wine reg query 'HKCU\Software\Dravomix' /s 2>/dev/null)"
pass "silent uninstall with /REMOVESETTINGS removed the settings too"
echo "PASS: install, refusal, upgrade and both uninstalls of Tovasen $version"
