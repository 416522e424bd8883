#!/usr/bin/env bash
# Signs Windows programs and libraries in place: Authenticode, SHA-256, with osslsigncode.
#   sign.sh FILE...
# From the environment:
#   TOVASEN_SIGN_PFX        the code-signing certificate with its key (PKCS#12)
#   TOVASEN_SIGN_PASSWORD   its password (may be empty)
#   TOVASEN_SIGN_TIMESTAMP  the RFC 3161 time-stamp server (default: DigiCert's). A time stamp
#                           keeps the signature valid after the certificate expires; "none"
#                           signs without one, for tests and throw-away builds only.
# Called by scripts/dist.sh, and by makensis for the uninstaller and the setup.
set -euo pipefail
fail() { echo "sign.sh: $*" >&2; exit 1; }
[ $# -gt 0 ] || fail "usage: sign.sh FILE..."
: "${TOVASEN_SIGN_PFX:?sign.sh: TOVASEN_SIGN_PFX must name the certificate}"
[ -f "$TOVASEN_SIGN_PFX" ] || fail "no certificate at $TOVASEN_SIGN_PFX"
timestamp=${TOVASEN_SIGN_TIMESTAMP:-http://timestamp.digicert.com}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The password goes through a file only this user can read, never on a command line.
(umask 077 && printf '%s' "${TOVASEN_SIGN_PASSWORD:-}" >"$work/password")
stamp=()
[ "$timestamp" = none ] || stamp=(-ts "$timestamp")

for file in "$@"; do
  [ -f "$file" ] || fail "$file does not exist"
  osslsigncode sign -pkcs12 "$TOVASEN_SIGN_PFX" -readpass "$work/password" -h sha256 \
    -n Tovasen "${stamp[@]}" -in "$file" -out "$work/signed" >"$work/log" 2>&1 \
    || fail "could not sign $file: $(cat "$work/log")"
  # Overwritten in place: the file keeps its name and mode where makensis reads it back.
  cat "$work/signed" >"$file"
  rm -f "$work/signed"
done
