#!/usr/bin/env bash
# Installs everything the build and the tests need, once. Every step leaves a stamp and is
# skipped when its stamp is there, so a second run costs seconds.
# The cross-built dependencies (.deps/mingw, .deps/ffmpeg, with their sources in .deps/src and
# .deps/npm) are kept outside the clone, in
#   ${TOVASEN_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tovasen-deps}/<key>/
# keyed by everything that decides what they are (this script, the toolchain file, the versions
# of the compilers and of the Debian sources), so another clone on the same machine links to
# them instead of building them again. Where that folder cannot be written, they are built in
# .deps as before.
# Called by the Makefile; not meant to be run by hand.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
deps="$top/.deps"
stamps="$deps/stamps"         # steps done in this clone (Debian packages)
toolchain="$top/cmake/mingw-w64-x86_64.cmake"
jobs=$(nproc)

mkdir -p "$stamps"

say() { printf '[setup] %s\n' "$*" >&2; }
done_already() { [ -f "$stamps/$1" ]; }
mark_done() { touch "$stamps/$1"; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# --- Debian packages --------------------------------------------------------------------------
packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
  wine wine64 xvfb xdotool x11-apps cmake ninja-build nasm make python3 openssl dpkg-dev
  googletest libgtest-dev libbenchmark-dev nlohmann-json3-dev
  libz-mingw-w64-dev zlib1g-dev libjpeg62-turbo-dev libpng-dev libsqlite3-dev sqlite3
  pngcheck imagemagick webp ffmpeg
  nsis zip unzip
  fonts-wine fonts-nanum
)
# clang gives the native build libFuzzer; it is optional, so it is not installed here.

install_debian() { # package... : those not installed yet
  local p status missing=()
  for p in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    say "installing Debian packages: ${missing[*]}"
    as_root apt-get update -q
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
}
install_debian "${packages[@]}"
# The machine may bring its own Node.js with npm; Debian's npm is only the fallback.
if ! command -v npm >/dev/null; then
  as_root apt-get update -q
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends npm
fi

# The posix thread model is needed for std::thread; the win32 model is Debian's default.
for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-gcc-posix; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

# The release and its checks: osslsigncode signs the packages, PyYAML reads the winget
# manifests back, strace watches where the program connects, unshare and ip run the Windows
# tests in a network namespace of their own.
if ! done_already release-tools; then
  install_debian osslsigncode python3-yaml strace util-linux iproute2
  mark_done release-tools
fi

# The native tests check the program's table of Unicode format characters against ICU's.
if ! done_already icu; then
  install_debian libicu-dev
  mark_done icu
fi

# --- Source packages --------------------------------------------------------------------------
# apt-get source needs deb-src entries. Where the machine has none, mirror its own deb entries
# as deb-src entries, so no host name is ever written here.
ensure_deb_src() {
  if grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return
  fi
  say "adding deb-src entries derived from the existing apt sources"
  local f out
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    out="/etc/apt/sources.list.d/tovasen-src-$(basename "$f")"
    sed -E 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb-src/' "$f" | as_root tee "$out" >/dev/null
  done
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
      | as_root tee /etc/apt/sources.list.d/tovasen-src.list >/dev/null || true
  fi
  as_root apt-get update -q
}

fetch_source() { # package -> prints the unpacked source directory
  local pkg=$1 dir
  dir=$(find "$src" -maxdepth 1 -type d -name "$pkg-*" | head -n 1)
  if [ -z "$dir" ]; then
    ensure_deb_src >&2
    (cd "$src" && apt-get source -q --download-only "$pkg" >&2 \
      && dpkg-source --no-check -x "$(ls -1 "${pkg}"_*.dsc | head -n 1)" >&2)
    dir=$(find "$src" -maxdepth 1 -type d -name "$pkg-*" | head -n 1)
  fi
  [ -n "$dir" ] || { echo "could not unpack the source of $pkg" >&2; exit 1; }
  printf '%s\n' "$dir"
}

cross_cmake() { # source-dir build-dir extra-args...
  local s=$1 b=$2; shift 2
  cmake -S "$s" -B "$b" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >/dev/null
  cmake --build "$b" -j "$jobs" >/dev/null
  cmake --install "$b" >/dev/null
}

# Builds every cross-built part into $1: mingw/ (headers, static libs, import libs, libwebp.dll),
# ffmpeg/ffmpeg.exe, the sources and npm package they came from (src/, npm/) and stamps/ of the
# steps done, which are skipped when built already.
build_parts() {
  local out=$1 s b
  prefix="$out/mingw" built="$out/stamps" src="$out/src" work="$out/build"
  mkdir -p "$prefix" "$built" "$src" "$work"
  built_already() { [ -f "$built/$1" ]; }
  mark_built() { touch "$built/$1"; }

  if ! built_already libjpeg-turbo; then
    say "cross-building libjpeg-turbo (static)"
    s=$(fetch_source libjpeg-turbo)
    cross_cmake "$s" "$work/libjpeg-turbo" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
      -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF -DREQUIRE_SIMD=ON
    mark_built libjpeg-turbo
  fi

  if ! built_already libwebp; then
    say "cross-building libwebp.dll"
    s=$(fetch_source libwebp)
    # The DLL ships beside the exe on a bare Windows, so it carries its own C runtime support;
    # without a link time or debug sections it is the same file on every machine that builds it.
    cross_cmake "$s" "$work/libwebp" -DBUILD_SHARED_LIBS=ON \
      -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF \
      -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF \
      -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF \
      -DCMAKE_SHARED_LINKER_FLAGS="-static-libgcc -static -s -Wl,--no-insert-timestamp"
    [ -f "$prefix/bin/libwebp.dll" ] || { echo "libwebp.dll was not built" >&2; exit 1; }
    mark_built libwebp
  fi

  if ! built_already googletest; then
    say "cross-building GoogleTest"
    cross_cmake /usr/src/googletest "$work/googletest" -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF
    mark_built googletest
  fi

  if ! built_already nlohmann-json; then
    # Header-only: the Debian package's headers serve the cross build as they are.
    say "copying nlohmann-json headers for the cross build"
    mkdir -p "$prefix/include"
    cp -r /usr/include/nlohmann "$prefix/include/"
    mark_built nlohmann-json
  fi

  if ! built_already sqlite3; then
    # The source tree builds its single-file amalgamation with tclsh; the amalgamation is then
    # compiled once by the cross compiler into a static library.
    say "cross-building SQLite (static)"
    command -v tclsh >/dev/null || DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends tcl
    s=$(fetch_source sqlite3)
    b="$work/sqlite3"
    rm -rf "$b" && mkdir -p "$b"
    (cd "$b" && "$s/configure" --disable-tcl --disable-readline --disable-shared >/dev/null \
      && make -j "$jobs" sqlite3.c >/dev/null)
    x86_64-w64-mingw32-gcc-posix -O2 -c "$b/sqlite3.c" -o "$b/sqlite3.o" \
      -DSQLITE_THREADSAFE=1 -DSQLITE_DQS=0 -DSQLITE_OMIT_LOAD_EXTENSION -DSQLITE_DEFAULT_FOREIGN_KEYS=1
    mkdir -p "$prefix/lib" "$prefix/include"
    rm -f "$prefix/lib/libsqlite3.a"
    x86_64-w64-mingw32-ar rcs "$prefix/lib/libsqlite3.a" "$b/sqlite3.o"
    cp "$b/sqlite3.h" "$s/src/sqlite3ext.h" "$prefix/include/"
    mark_built sqlite3
  fi

  # --- ffmpeg.exe -------------------------------------------------------------------------------
  if ! built_already ffmpeg; then
    say "unpacking ffmpeg.exe from the npm package @ffmpeg-installer/win32-x64"
    mkdir -p "$out/npm" "$out/ffmpeg"
    (cd "$out/npm" && npm pack --silent @ffmpeg-installer/win32-x64@4.1.0 >/dev/null)
    tar -xzf "$out/npm"/ffmpeg-installer-win32-x64-4.1.0.tgz -C "$out/npm"
    cp "$out/npm/package/ffmpeg.exe" "$out/ffmpeg/ffmpeg.exe"
    mark_built ffmpeg
  fi
}

# Everything that decides the built parts' bytes. The Debian sources are taken at the versions of
# their installed binary packages, which come from the same archive as `apt-get source`.
cache_key() {
  {
    sha256sum <"$top/scripts/setup.sh"
    sha256sum <"$toolchain"
    dpkg --print-architecture
    x86_64-w64-mingw32-gcc-posix --version | head -n 1
    x86_64-w64-mingw32-g++-posix --version | head -n 1
    cmake --version | head -n 1
    nasm -v
    dpkg-query -W -f='${Package} ${source:Package} ${source:Version}\n' \
      libjpeg62-turbo-dev webp libsqlite3-dev googletest nlohmann-json3-dev \
      g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  } | sha256sum | cut -c1-16
}

# The parts of .deps that are built, and with a cache links into it.
linked_parts="mingw ffmpeg src npm"
# A built set made in this clone (no cache then, or before there was one) stays in use as it is.
built_here() { [ -d "$deps/mingw" ] && [ ! -L "$deps/mingw" ]; }

cache_root=${TOVASEN_DEPS_CACHE:-}
if [ -z "$cache_root" ] && [ -n "${XDG_CACHE_HOME:-}" ]; then cache_root=$XDG_CACHE_HOME/tovasen-deps; fi
if [ -z "$cache_root" ] && [ -n "${HOME:-}" ]; then cache_root=$HOME/.cache/tovasen-deps; fi

# An entry counts only once its marker is there: it is written last, in a staging folder that is
# then renamed into place, so neither a half-built entry nor a run killed halfway is ever used.
# Two clones building at once each stage their own; the second rename fails and that clone takes
# the first one's entry.
use_cache() {
  local key entry stage
  key=$(cache_key)
  entry="$cache_root/$key"
  if [ ! -f "$entry/complete" ]; then
    if [ -e "$entry" ]; then
      say "cached dependencies in $entry are incomplete; building them again"
      mv -T "$entry" "$cache_root/.broken-$key-$$" 2>/dev/null && rm -rf "$cache_root/.broken-$key-$$"
    fi
    stage=$(mktemp -d "$cache_root/.staging-$key-XXXXXX")
    trap "rm -rf '$stage'" EXIT
    say "building the cross-built dependencies for the cache ($entry)"
    build_parts "$stage"
    rm -rf "$stage/build"   # src and npm stay: the release takes licence texts from them
    # Text files (pkg-config, CMake package files) name the prefix they were installed to.
    { grep -rlIF "$stage" "$stage/mingw" || true; } | while IFS= read -r f; do sed -i "s#$stage#$entry#g" "$f"; done
    chmod 755 "$stage"   # mktemp made it private
    touch "$stage/complete"
    if ! mv -T "$stage" "$entry" 2>/dev/null; then
      [ -f "$entry/complete" ] || { echo "could not put the dependencies into $entry" >&2; exit 1; }
      say "another run filled $entry first; using that"
      rm -rf "$stage"
    fi
    trap - EXIT
  fi
  local part
  for part in $linked_parts; do
    if [ "$(readlink "$deps/$part" 2>/dev/null)" != "$entry/$part" ]; then
      rm -rf "$deps/$part.new" && ln -s "$entry/$part" "$deps/$part.new"
      mv -T "$deps/$part.new" "$deps/$part"
    fi
  done
  say "dependencies ready in $deps (built parts linked from $entry)"
}

if built_here; then
  build_parts "$deps"
  say "dependencies ready in $deps (built here)"
elif [ -n "$cache_root" ] && mkdir -p "$cache_root" 2>/dev/null && [ -w "$cache_root" ]; then
  cache_root=$(cd "$cache_root" && pwd)   # the links must not depend on where this ran
  use_cache
else
  say "the dependency cache ${cache_root:-(no HOME)} cannot be written; building in $deps"
  for part in $linked_parts; do [ ! -L "$deps/$part" ] || rm "$deps/$part"; done  # a cache's links
  build_parts "$deps"
  say "dependencies ready in $deps (built here)"
fi
