#!/usr/bin/env bash
# Checks that a release is reproducible: runs `make dist` in two clean clones of one commit, at
# paths of different lengths and without the compiler cache, and compares the release files
# byte for byte. Prints each file's SHA-256 and which ones differ; exits non-zero if any does.
#   check-reproducible.sh [COMMIT]     (default: HEAD; uncommitted changes are not part of it)
# Both clones use this checkout's .deps (the installed dependencies are the same machine's).
# Not part of make test: it builds the Windows tree twice.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$top" rev-parse --verify "${1:-HEAD}^{commit}")
deps=$(realpath "$top/.deps")
[ -d "$deps/stamps" ] || { echo "check-reproducible.sh: run make setup first" >&2; exit 1; }
[ -z "$(git -C "$top" status --porcelain --untracked-files=no)" ] \
  || echo "check-reproducible.sh: note: uncommitted changes are not checked, only $commit" >&2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
clones=("$work/a" "$work/second-clone-at-a-longer-path")
for clone in "${clones[@]}"; do
  git clone -q --no-checkout "$top" "$clone"
  git -C "$clone" checkout -q "$commit"
  ln -s "$deps" "$clone/.deps"
  echo "== make dist in $clone" >&2
  # A cached object would hide a compiler that puts the build's path or time into its output.
  (cd "$clone" && CCACHE_DISABLE=1 make dist >"$clone.log" 2>&1) \
    || { echo "make dist failed in $clone:" >&2; tail -n 30 "$clone.log" >&2; exit 1; }
done

a=${clones[0]}/build/dist b=${clones[1]}/build/dist
status=0
while read -r file; do
  if cmp -s "$a/$file" "$b/$file"; then
    printf 'same     %s  %s\n' "$(sha256sum <"$a/$file" | cut -c1-64)" "$file"
  else
    printf 'DIFFERS  %s\n' "$file"
    { cmp -l "$a/$file" "$b/$file" 2>/dev/null || true; } | head -n 5 \
      | sed 's/^/         byte (1-based), octal values: /'
    status=1
  fi
done < <(cd "$a" && find . -type f | sed 's#^\./##' | LC_ALL=C sort)
extra=$(diff <(cd "$a" && find . -type f | LC_ALL=C sort) <(cd "$b" && find . -type f | LC_ALL=C sort) || true)
[ -z "$extra" ] || { printf 'the two release folders hold different files:\n%s\n' "$extra"; status=1; }
# The programs inside the packages, for a finer answer when a package differs.
for f in Tovasen.exe tovasen-cmd.exe; do
  if cmp -s "${clones[0]}/build/win/bin/$f" "${clones[1]}/build/win/bin/$f"; then
    printf 'same     %s  %s\n' "$(sha256sum <"${clones[0]}/build/win/bin/$f" | cut -c1-64)" "build/win/bin/$f"
  else
    printf 'DIFFERS  build/win/bin/%s\n' "$f"; status=1
  fi
done
[ $status -eq 0 ] && echo "reproducible: both clones of $commit made the same release files" \
  || echo "NOT reproducible: see the files marked DIFFERS"
exit $status
