#!/usr/bin/env bash
# Runs after every MinGW-w64 link of the exe, whichever linker made it, and goes by what the
# linker wrote. The load-configuration directory must point at the _load_config_used
# structure, which src/load_config.cpp keeps alone in section .lcfg, with the structure's own
# Size as its length. lld fills the directory in itself; GNU ld 2.40 leaves it empty, and then
# this script fills it in and sets the header checksum right again. A directory that points
# anywhere else fails the build. Needs nothing but bash and coreutils.
#   set-load-config.sh EXE
#   set-load-config.sh --checksum FILE    prints the header checksum's sum of FILE (below)
set -euo pipefail

# The header checksum, as imagehlp's CheckSumMappedFile computes it: the file's 16-bit words,
# the checksum field already zero, added with the carries folded back in, plus the file's length.
checksum() {
  local sum
  sum=$(od -An -v -tu2 "$1" | awk '{ for (i = 1; i <= NF; i++) s += $i }
    END { while (s > 65535) s = s % 65536 + int(s / 65536); print s }')
  echo $((sum + $(stat -c %s "$1")))
}
if [ "$1" = --checksum ]; then checksum "$2"; exit 0; fi

exe=$1
number() { od -An -t"u$2" -j "$1" -N"$2" "$exe" | tr -d ' '; }
put32() {  # OFFSET VALUE: a little-endian 32-bit number into the file
  local bytes="" i
  for i in 0 8 16 24; do bytes+="\\x$(printf %02x $(($2 >> i & 255)))"; done
  printf "$bytes" | dd of="$exe" bs=1 seek="$1" conv=notrunc status=none
}
fail() { echo "set-load-config: $exe: $*" >&2; exit 1; }

pe=$(number 60 4)
header=$((pe + 24))  # the optional header, after the PE signature and the file header
# The data directories follow 96 bytes of optional header in a 32-bit image, 112 in a 64-bit one.
directories=$((header + ($(number $header 2) == 0x20b ? 112 : 96)))
entry=$((directories + 10 * 8))  # entry 10: the load configuration, its address and length
sections=$((header + $(number $((pe + 20)) 2)))
rva="" size=""
for ((i = 0; i < $(number $((pe + 6)) 2); i++)); do
  s=$((sections + i * 40))
  if [ "$(dd if="$exe" bs=1 skip=$s count=8 status=none | tr -d '\0')" = .lcfg ]; then
    rva=$(number $((s + 12)) 4)
    size=$(number "$(number $((s + 20)) 4)" 4)  # the structure's first field
  fi
done
[ -n "$rva" ] || fail "no .lcfg section"

case "$(number $entry 4) $(number $((entry + 4)) 4)" in
  "$rva $size") exit 0 ;;  # the linker did it
  "0 0") ;;
  *) fail "the linker pointed the load-configuration directory elsewhere" ;;
esac
put32 $entry "$rva"
put32 $((entry + 4)) "$size"

# GNU ld wrote a checksum before the directory changed: a right one again rather than lld's
# zero, since Microsoft recommends that every image have a valid checksum (CheckSumMappedFile,
# https://learn.microsoft.com/windows/win32/api/imagehlp/nf-imagehlp-checksummappedfile).
put32 $((header + 64)) 0
put32 $((header + 64)) "$(checksum "$exe")"
