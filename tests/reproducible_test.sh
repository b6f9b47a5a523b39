#!/usr/bin/env bash
# The shipped exes built again from the same sources, in a clean build folder elsewhere, are the
# same bytes as the build's: nothing of when or where they were built gets in, so a release can
# be rebuilt and checked against its published sums.
#   bash tests/reproducible_test.sh BUILD
set -euo pipefail
build=$(realpath "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
other=$(mktemp -d /tmp/quellin-rebuilt.XXXXXX)
trap 'rm -rf "$other"' EXIT
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
for arch in x86_64:quellin.exe i686:quellin-32bit.exe; do
  cmake -S "$root" -B "$other/${arch%%:*}" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-${arch%%:*}.cmake" \
    -DCMAKE_BUILD_TYPE="$type" -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$other/${arch%%:*}" --target quellin -j "$(nproc)" >/dev/null
  cmp "$other/${arch%%:*}/bin/${arch#*:}" "$build/bin/${arch#*:}"
done
echo "reproducible: both exes built again elsewhere are the same bytes"
