#!/usr/bin/env bash
# Makes the release files from the distribution folder:
#   dist.sh CONFIG OUT_DIR
# CONFIG is the file the build writes (build/win/dist/dist.conf: the distribution folder, the
# icon, the version, the web site, the release download folder, the setup's compressor).
# OUT_DIR receives:
#   Tovasen-<version>-win64.zip      one folder "Tovasen": the programs and the licence texts
#   Tovasen-Setup-<version>.exe      the setup program with the same files
#   SHA256SUMS                       the checksums of both, for sha256sum -c
#   ffmpeg-shipped.txt               which ffmpeg.exe went in, and where its source is offered
#   winget/manifests/...             the winget manifest set of this version (schema 1.6)
#   scoop/tovasen.json               the Scoop manifest of the zip
# Signing: with TOVASEN_SIGN_PFX set, the programs we build, the uninstaller and the setup are
# signed (scripts/sign.sh says how); without it nothing is signed, and this says so.
# Reproducible: file times come from SOURCE_DATE_EPOCH (default: the time of the last commit)
# and the zip's entries are sorted, so one commit always packs to the same bytes.
# Run by the build (target "dist_package"); `make dist` copies OUT_DIR to build/dist.
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: dist.sh CONFIG OUT_DIR" >&2; exit 2; }
top=$(cd "$(dirname "$0")/.." && pwd)
deps="$top/.deps"
fail() { echo "dist.sh: $*" >&2; exit 1; }

# --- Configuration ------------------------------------------------------------------------------
bin="" icon="" version="" file_version="" web_site="" release_url="" compressor=zlib
while IFS= read -r line; do
  case "$line" in ''|'#'*) continue;; esac
  value=${line#*=}
  case "${line%%=*}" in
    BIN_DIR) bin=$value;;
    ICON) icon=$value;;
    VERSION) version=$value;;
    FILE_VERSION) file_version=$value;;
    WEB_SITE) web_site=$value;;
    RELEASE_URL) release_url=$value;;
    COMPRESSOR) compressor=$value;;
    *) fail "unknown setting in $1: $line";;
  esac
done <"$1"
for name in bin icon version file_version web_site release_url; do
  [ -n "${!name}" ] || fail "$1 does not set $name"
done
case "$compressor" in zlib|lzma) ;; *) fail "unknown compressor $compressor";; esac
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "version '$version' is not three numbers"
for tool in makensis zip python3 sha256sum; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup.sh installs it)"
done
# makensis resolves relative paths from the script's folder, not from here.
bin=$(realpath "$bin") icon=$(realpath "$icon")
mkdir -p "$2"
out=$(realpath "$2")

signing=""
if [ -n "${TOVASEN_SIGN_PFX:-}" ]; then
  [ -f "$TOVASEN_SIGN_PFX" ] || fail "TOVASEN_SIGN_PFX names $TOVASEN_SIGN_PFX, which does not exist"
  command -v osslsigncode >/dev/null || fail "osslsigncode is missing (scripts/setup.sh installs it)"
  signing=yes
  echo "dist.sh: signing with $TOVASEN_SIGN_PFX" >&2
else
  echo "dist.sh: TOVASEN_SIGN_PFX is not set: nothing is signed" >&2
fi

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$top" log -1 --format=%ct 2>/dev/null) \
    || fail "not a git checkout: set SOURCE_DATE_EPOCH to the release's time (seconds since 1970)"
fi
[[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || fail "SOURCE_DATE_EPOCH '$SOURCE_DATE_EPOCH' is not a number"
export SOURCE_DATE_EPOCH

zip_name="Tovasen-$version-win64.zip"
setup_name="Tovasen-Setup-$version.exe"
# Release files of an earlier version or run would otherwise lie beside the new ones; the
# checksums go first, so an interrupted run never leaves them vouching for other packages.
rm -rf "$out/SHA256SUMS" "$out"/Tovasen-Setup-*.exe "$out"/Tovasen-*-win64.zip "$out/ffmpeg-shipped.txt" \
  "$out/winget" "$out/scoop" "$out/stage"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage="$work/Tovasen"
mkdir -p "$stage/licenses"
for f in Tovasen.exe tovasen-cmd.exe libwebp.dll ffmpeg.exe; do
  [ -f "$bin/$f" ] || fail "$bin/$f is missing: the distribution folder is incomplete"
  cp "$bin/$f" "$stage/"
done

# --- Licence texts, taken from the sources and packages the binaries were built from -----------
one_dir() { # glob -> the single directory it matches
  local matches=()
  for d in $1; do [ -d "$d" ] && matches+=("$d"); done
  [ ${#matches[@]} -eq 1 ] || fail "expected one directory for $1, found ${#matches[@]}"
  printf '%s\n' "${matches[0]}"
}
need() { for f in "$@"; do [ -f "$f" ] || fail "licence text $f is missing"; done; }
section() { # title file... : the files one after the other, each under a heading
  local title=$1; shift
  need "$@"
  printf '%s\n\n' "$title"
  for f in "$@"; do
    printf '==== %s ====\n\n' "$(basename "$f")"
    cat "$f"
    printf '\n'
  done
}

jpeg_src=$(one_dir "$deps/src/libjpeg-turbo-*")
webp_src=$(one_dir "$deps/src/libwebp-*")
# The IJG licence asks a binary-only distribution to say so in its documentation.
{
  echo "Tovasen is based in part on the work of the Independent JPEG Group."
  echo
  section "libjpeg-turbo $(basename "$jpeg_src" | sed 's/^libjpeg-turbo-//'), linked into Tovasen.exe" \
    "$jpeg_src/LICENSE.md" "$jpeg_src/README.ijg"
} >"$stage/licenses/libjpeg-turbo.txt"
section "libwebp $(basename "$webp_src" | sed 's/^libwebp-//'), libwebp.dll" \
  "$webp_src/COPYING" "$webp_src/PATENTS" >"$stage/licenses/libwebp.txt"
section "zlib (Debian package libz-mingw-w64), linked into Tovasen.exe" \
  /usr/share/doc/libz-mingw-w64/copyright >"$stage/licenses/zlib.txt"
section "MinGW-w64 runtime and winpthreads (Debian package mingw-w64-x86-64-dev), linked into the programs" \
  /usr/share/doc/mingw-w64-x86-64-dev/copyright >"$stage/licenses/mingw-w64-runtime.txt"

# ffmpeg.exe comes as a binary from an npm package that names its build and licence but carries
# neither the licence text nor the source. The GPL asks whoever passes the binary on to offer its
# complete source: say which build it is, where its source is offered (beside the release, where
# the release manager puts it), then give the licence's own text. ffmpeg-shipped.txt keeps the
# record of exactly which file went out.
ffmpeg_json="$deps/npm/package/package.json"
ffmpeg_exe="$stage/ffmpeg.exe"
need "$ffmpeg_json" /usr/share/common-licenses/GPL-3
ffmpeg_tgz=$(ls "$deps"/npm/*.tgz 2>/dev/null | head -n 1)
[ -n "$ffmpeg_tgz" ] || fail "the npm package of ffmpeg.exe is missing from $deps/npm"
# The build's own configuration line names the libraries whose sources belong to it.
ffmpeg_config=$(grep -a -o -m 1 -- '--enable-gpl[ -~]*' "$ffmpeg_exe" | head -n 1 || true)
[ -n "$ffmpeg_config" ] || fail "cannot read the configuration of ffmpeg.exe"
python3 "$top/dist/ffmpeg_notice.py" "$ffmpeg_json" "$ffmpeg_tgz" "$ffmpeg_exe" "$release_url" "$web_site" \
  "$ffmpeg_config" "$stage/licenses/ffmpeg.txt" "$work/ffmpeg-shipped.txt"
cat /usr/share/common-licenses/GPL-3 >>"$stage/licenses/ffmpeg.txt"
# Windows line ends, for every text viewer there.
for f in "$stage/licenses"/*.txt; do sed -i 's/\r*$/\r/' "$f"; done

# --- Signatures of what we build ----------------------------------------------------------------
# ffmpeg.exe is someone else's build: our signature would vouch for what we did not make.
if [ -n "$signing" ]; then
  bash "$top/scripts/sign.sh" "$stage/Tovasen.exe" "$stage/tovasen-cmd.exe" "$stage/libwebp.dll"
fi

# Same bytes from the same commit: fixed times and modes for every file.
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

# --- The portable zip ---------------------------------------------------------------------------
# Sorted entries, times in UTC, no extra attributes: nothing of this machine or this run.
(cd "$work" && find Tovasen | LC_ALL=C sort | TZ=UTC zip -q -X -9 -@ "$work/$zip_name")

# --- The setup program --------------------------------------------------------------------------
nsis_sign=()
[ -z "$signing" ] || nsis_sign=(-DSIGN_SCRIPT="$top/scripts/sign.sh")
makensis -V2 -INPUTCHARSET UTF8 \
  -DVERSION="$version" -DFILE_VERSION="$file_version" -DSTAGE_DIR="$stage" \
  -DICON="$icon" -DWEB_SITE="$web_site" -DOUT_FILE="$work/$setup_name" -DCOMPRESSOR="$compressor" \
  "${nsis_sign[@]}" "$top/dist/tovasen.nsi" >&2

# --- Manifests, then the files go out, checksums last -------------------------------------------
python3 "$top/dist/manifests.py" --version "$version" --release-url "$release_url" --web-site "$web_site" \
  --setup "$work/$setup_name" --zip "$work/$zip_name" --out "$work/manifests"
mv "$work/$zip_name" "$work/$setup_name" "$work/ffmpeg-shipped.txt" "$out/"
mv "$work/manifests/winget" "$work/manifests/scoop" "$out/"
(cd "$out" && sha256sum "$setup_name" "$zip_name" >SHA256SUMS.part && mv SHA256SUMS.part SHA256SUMS)
echo "dist.sh: wrote $zip_name, $setup_name, SHA256SUMS, ffmpeg-shipped.txt and the winget and Scoop manifests to $out" >&2
