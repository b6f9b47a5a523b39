#!/usr/bin/env bash
# Points the exe's load-configuration directory at its _load_config_used structure, which
# src/load_config.cpp keeps alone in section .lcfg. GNU ld 2.40 leaves the directory empty;
# lld and Microsoft's linker fill it in themselves.
#   set-load-config.sh OBJDUMP EXE
set -euo pipefail
objdump=$1 exe=$2
read -r address offset < <("$objdump" -h "$exe" | awk '$2 == ".lcfg" { print $4, $6 }') || true
base=$("$objdump" -p "$exe" | awk '$1 == "ImageBase" { print $2 }')
if [ -z "${address:-}" ] || [ -z "$base" ]; then
  echo "set-load-config: $exe has no .lcfg section" >&2
  exit 1
fi
number() { od -An -t"u$2" -j "$1" -N"$2" "$exe" | tr -d ' '; }
size=$(number $((16#$offset)) 4)  # the structure's first field
header=$(($(number 60 4) + 24))   # the optional header, after the PE signature and file header
# The data directories follow 96 bytes of optional header in a 32-bit image, 112 in a 64-bit one.
directories=$((header + ($(number $header 2) == 0x20b ? 112 : 96)))
le32() {
  local value=$1 i
  for i in 0 8 16 24; do printf "\\x$(printf %02x $((value >> i & 255)))"; done
}
# Entry 10, the load configuration: where the structure is and how long.
{ le32 $((16#$address - 16#$base)); le32 "$size"; } | dd of="$exe" bs=1 seek=$((directories + 10 * 8)) conv=notrunc status=none
