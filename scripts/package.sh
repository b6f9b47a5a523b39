#!/usr/bin/env bash
# Builds, then makes the release archive dist/quellin-VERSION.zip: both exes, the Japanese guide
# as readme-ja.txt, and SHA256SUMS for the exes. Made again from the same commit, it has the
# same bytes, so a download can be checked against a rebuild.
#   ./scripts/package.sh                       installs what is missing, builds, writes dist/
#   ./scripts/package.sh --from BUILD OUTDIR   archives BUILD's exes into OUTDIR: no build, no install
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# Writes OUTDIR/quellin-VERSION.zip from the exes in BUILD/bin and prints its path.
quellin_package() {
  local build=$1 out=$2 version stamp stage
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  # Every time in the archive is the commit's; without git, a fixed one (2026-01-01).
  stamp=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 1767225600)}
  stage=$(mktemp -d)
  trap "rm -rf '$stage'" EXIT
  cp "$build/bin/quellin.exe" "$build/bin/quellin-32bit.exe" "$stage/"
  # UTF-8 with a byte-order mark, and CRLF: an older Notepad may take text without the mark
  # for the ANSI code page (Shift_JIS on Japanese Windows) and garble it, while every Notepad
  # reads the mark as UTF-8; before Windows 10 1809 it shows LF-only text as one long line.
  { printf '\xef\xbb\xbf'; sed 's/$/\r/' "$root/docs/guide.ja.md"; } >"$stage/readme-ja.txt"
  (cd "$stage" && sha256sum quellin.exe quellin-32bit.exe >SHA256SUMS)
  chmod 0644 "$stage"/*  # the same modes whatever the umask
  mkdir -p "$out"
  rm -f "$out/quellin-$version.zip"
  # SOURCE_DATE_EPOCH makes CMake set all four times of each entry (--mtime sets only the
  # modification time; the access and change times of the staged files would get in). The DOS
  # time in a zip is local time, hence TZ. fakeroot records root, not the builder, as owner.
  (cd "$stage" && TZ=UTC SOURCE_DATE_EPOCH=$stamp fakeroot cmake -E tar cf "$out/quellin-$version.zip" \
    --format=zip quellin.exe quellin-32bit.exe readme-ja.txt SHA256SUMS)
  echo "$out/quellin-$version.zip"
}

if [ "${1:-}" = --from ]; then
  quellin_package "$(realpath "$2")" "$(realpath -m "$3")"
  exit 0
fi
cd "$root"
bash scripts/install-deps.sh
source scripts/wine-env.sh
quellin_build >/dev/null
quellin_package "$QUELLIN_BUILD" "$root/dist"
