#!/usr/bin/env bash
# End to end: a signed release. With a throw-away code-signing certificate made here, dist.sh
# packs the build's distribution folder again; osslsigncode verify then accepts every program
# of ours in the zip, the setup, and the uninstaller and programs the setup installs. A
# signature that cannot be made (no certificate, a wrong password, no time-stamp server) stops
# the release instead of shipping it unsigned. The release itself is signed without a time stamp
# (TOVASEN_SIGN_TIMESTAMP=none): a real time-stamp server is beyond this machine. Runs inside
# scripts/wine-env.sh (DISPLAY, WINEPREFIX, TOVASEN_TEST_PROXY_PORT).
#   signed_packages.sh DIST_CONF UNSIGNED_ZIP
set -uo pipefail
conf=$1 unsigned_zip=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
work=$(mktemp -d)
cleanup() {
  wineserver -k >/dev/null 2>&1
  wine reg delete 'HKCU\Software\Dravomix' /f >/dev/null 2>&1
  wine reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tovasen' /f >/dev/null 2>&1
  wine reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Tovasen /f >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
pass() { echo "ok: $*"; }

verify() { # file: signed by the throw-away certificate, and the signature holds
  local log
  log=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$1" 2>&1) \
    || fail "$(basename "$1") is not validly signed: $log"
  grep -q "Signature verification: ok" <<<"$log" || fail "$(basename "$1"): $log"
  grep -q "Tovasen signing test" <<<"$log" || fail "$(basename "$1") carries another signer: $log"
}
unsigned() { # file: carries no signature at all
  local log
  ! log=$(osslsigncode verify -in "$1" 2>&1) || fail "$(basename "$1") is signed: $log"
  grep -qi "no signature" <<<"$log" || fail "$(basename "$1"): unexpected answer: $log"
}

# Without a certificate (the build's own packages) nothing is signed.
mkdir -p "$work/plain"
unzip -q "$unsigned_zip" -d "$work/plain" || fail "cannot unpack $unsigned_zip"
unsigned "$work/plain/Tovasen/Tovasen.exe"
pass "without a certificate the programs are not signed"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tovasen signing test" \
  -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null || fail "cannot make a certificate"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout pass:'test pass' \
  -out "$work/sign.pfx" 2>/dev/null || fail "cannot make the PFX"

# A signature that cannot be made stops the release: nothing goes out unsigned or without the
# time stamp asked for. The time-stamp server here is the environment's closed proxy port.
while IFS='|' read -r case pfx password stamp says; do
  TOVASEN_SIGN_PFX="$pfx" TOVASEN_SIGN_PASSWORD="$password" TOVASEN_SIGN_TIMESTAMP="$stamp" \
    bash "$top/scripts/dist.sh" "$conf" "$work/$case" >"$work/$case.log" 2>&1 \
    && fail "dist.sh succeeded with $case"
  grep -q "$says" "$work/$case.log" || fail "dist.sh did not say why ($case): $(cat "$work/$case.log")"
  [ -z "$(find "$work/$case" -name 'Tovasen*' 2>/dev/null)" ] || fail "dist.sh left packages behind ($case)"
  pass "$case stops the release"
done <<EOF
a missing certificate|$work/missing.pfx|test pass|none|missing.pfx
a wrong password|$work/sign.pfx|wrong|none|could not sign
an unreachable time-stamp server|$work/sign.pfx|test pass|http://127.0.0.1:${TOVASEN_TEST_PROXY_PORT:?}|timestamping failed
EOF

TOVASEN_SIGN_PFX="$work/sign.pfx" TOVASEN_SIGN_PASSWORD='test pass' TOVASEN_SIGN_TIMESTAMP=none \
  bash "$top/scripts/dist.sh" "$conf" "$work/out" >"$work/dist.log" 2>&1 || fail "signed dist.sh failed: $(cat "$work/dist.log")"
setup=$(ls "$work"/out/Tovasen-Setup-*.exe) zip=$(ls "$work"/out/Tovasen-*-win64.zip)
(cd "$work/out" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS does not match the signed packages"

mkdir -p "$work/zip"
unzip -q "$zip" -d "$work/zip" || fail "cannot unpack the signed zip"
for f in Tovasen.exe tovasen-cmd.exe libwebp.dll; do verify "$work/zip/Tovasen/$f"; done
# Someone else's build: our signature would vouch for what we did not make.
unsigned "$work/zip/Tovasen/ffmpeg.exe"
verify "$setup"
pass "the zip's programs and the setup are signed"

# The uninstaller exists only once the setup has run.
instdir="$work/installed"
wine "$setup" /S "/D=$(winepath -w "$instdir")"
rc=$?
[ $rc -eq 0 ] || fail "the signed setup exited with $rc"
[ -f "$instdir/uninstall.exe" ] || fail "the setup wrote no uninstaller: $(ls "$instdir")"
verify "$instdir/uninstall.exe"
for f in Tovasen.exe tovasen-cmd.exe libwebp.dll; do
  cmp -s "$instdir/$f" "$work/zip/Tovasen/$f" || fail "the installed $f is not the zip's"
done
pass "the installed uninstaller is signed and the installed programs are the signed ones"
echo "PASS: a signed release verifies file by file"
