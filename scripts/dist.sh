#!/usr/bin/env bash
# Packs the distribution folder into the portable zip and the setup program.
#   dist.sh BIN_DIR OUT_DIR VERSION FILE_VERSION ICON WEB_SITE [COMPRESSOR]
# Writes OUT_DIR/Tovasen-<VERSION>-win64.zip (one folder "Tovasen": the programs and the licence
# texts of the third-party parts they carry) and OUT_DIR/Tovasen-Setup-<VERSION>.exe with the
# same files. Run by the build (target "dist_package"); `make dist` copies both to build/dist.
set -euo pipefail

[ $# -eq 6 ] || [ $# -eq 7 ] \
  || { echo "usage: dist.sh BIN_DIR OUT_DIR VERSION FILE_VERSION ICON WEB_SITE [zlib|lzma]" >&2; exit 2; }
version=$3 file_version=$4 web_site=$6 compressor=${7:-zlib}
case "$compressor" in zlib|lzma) ;; *) echo "dist.sh: unknown compressor $compressor" >&2; exit 2;; esac
# makensis resolves relative paths from the script's folder, not from here.
bin=$(realpath "$1") icon=$(realpath "$5")
mkdir -p "$2"
out=$(realpath "$2")
top=$(cd "$(dirname "$0")/.." && pwd)
deps="$top/.deps"

fail() { echo "dist.sh: $*" >&2; exit 1; }
for tool in makensis zip python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup.sh installs it)"
done

stage="$out/stage/Tovasen"
rm -rf "$out/stage"
mkdir -p "$stage/licenses"
# Packages of an earlier version would otherwise lie beside the new ones.
rm -f "$out"/Tovasen-Setup-*.exe "$out"/Tovasen-*-win64.zip

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
# no licence text: name both, then give the licence's own text.
ffmpeg_json="$deps/npm/package/package.json"
need "$ffmpeg_json" /usr/share/common-licenses/GPL-3
python3 - "$ffmpeg_json" >"$stage/licenses/ffmpeg.txt" <<'EOF'
import json, sys
meta = json.load(open(sys.argv[1], encoding="utf-8"))
licence = meta.get("license")
if licence not in ("GPLv3", "GPL-3.0", "GPL-3.0-or-later"):
    sys.exit(f"dist.sh: ffmpeg.exe's package declares licence {licence!r}; update the licence text")
print(f"ffmpeg.exe: FFmpeg build {meta.get('ffmpeg', '?')} for 64-bit Windows, "
      f"from the npm package {meta['name']} {meta['version']} ({meta.get('homepage', '')}).")
print("FFmpeg is free software under the GNU General Public License, version 3; its source is")
print("available from https://ffmpeg.org/. The licence text follows.")
print()
EOF
cat /usr/share/common-licenses/GPL-3 >>"$stage/licenses/ffmpeg.txt"
# Windows line ends, for every text viewer there.
for f in "$stage/licenses"/*.txt; do sed -i 's/\r*$/\r/' "$f"; done

# --- The portable zip ---------------------------------------------------------------------------
zip_file="$out/Tovasen-$version-win64.zip"
(cd "$out/stage" && zip -q -r -X -9 "$zip_file.part" Tovasen)
mv "$zip_file.part" "$zip_file"

# --- The setup program --------------------------------------------------------------------------
setup="$out/Tovasen-Setup-$version.exe"
makensis -V2 -INPUTCHARSET UTF8 \
  -DVERSION="$version" -DFILE_VERSION="$file_version" -DSTAGE_DIR="$stage" \
  -DICON="$icon" -DWEB_SITE="$web_site" -DOUT_FILE="$setup.part" -DCOMPRESSOR="$compressor" \
  "$top/dist/tovasen.nsi" >&2
mv "$setup.part" "$setup"
echo "dist.sh: wrote $(basename "$zip_file") and $(basename "$setup") to $out" >&2
