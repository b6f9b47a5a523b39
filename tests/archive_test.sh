#!/usr/bin/env bash
# The release archive, made by scripts/package.sh from this build: it holds the very exes the
# suite tested, sums for both that verify, and the guide; and made again, it has the same bytes.
#   bash tests/archive_test.sh BUILD
set -euo pipefail
export LC_ALL=C  # sha256sum says OK in English, and sed sees bytes
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
zip=$(bash "$root/scripts/package.sh" --from "$build" "$out/a")
# Named for the version the guide's title names, and a zip (the unpacking below takes any
# format): a local file header first, and the end-of-central-directory record closing it, as
# there is no comment.
version=$(sed -n '1s/^# Quellin \([^ ]*\) .*/\1/p' "$root/docs/guide.ja.md")
[ "$(basename "$zip")" = "quellin-${version:?no version in the title of the guide}.zip" ]
[ "$(head -c 4 "$zip")" = $'PK\x03\x04' ]
[ "$(tail -c 22 "$zip" | head -c 4)" = $'PK\x05\x06' ]
mkdir "$out/x" && (cd "$out/x" && cmake -E tar xf "$zip")
cmp "$out/x/quellin.exe" "$build/bin/quellin.exe"
cmp "$out/x/quellin-32bit.exe" "$build/bin/quellin-32bit.exe"
[ "$(cd "$out/x" && sha256sum --check --strict SHA256SUMS | sort)" = $'quellin-32bit.exe: OK\nquellin.exe: OK' ]
# The guide, as Notepad reads it right: UTF-8 with a byte-order mark, and CRLF.
readme=$out/x/readme-ja.txt
[ "$(head -c 3 "$readme")" = $'\xef\xbb\xbf' ]
[ "$(grep -c -v $'\r$' "$readme")" = 0 ]
sed '1s/^\xef\xbb\xbf//; s/\r$//' "$readme" | cmp - "$root/docs/guide.ja.md"
# Again as another user (where user namespaces allow it), in another time zone, with another
# umask, and in a later second, which a clock time in the archive would show.
other=(unshare --user --map-user=1234 --map-group=1234)
"${other[@]}" true 2>/dev/null || other=()
second=$(date +%s); while [ "$(date +%s)" = "$second" ]; do sleep 0.05; done
(umask 077 && TZ=Asia/Tokyo "${other[@]}" bash "$root/scripts/package.sh" --from "$build" "$out/b" >/dev/null)
cmp "$zip" "$out/b/$(basename "$zip")"
echo "archive: $(basename "$zip") holds the tested exes, verified sums and the guide, and is reproducible"
