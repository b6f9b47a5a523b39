#!/usr/bin/env bash
# Exits 0 when this machine's kernel runs 32-bit x86 programs, 1 when it does not, or when
# QUELLIN_NO_32BIT=1 asks to behave as if it did not. Some kernels are built or booted without
# 32-bit support ("32-bit emulation disabled"): there the 32-bit Wine loader cannot start, and
# Debian's wine launcher, which prefers it once wine32 is installed, fails with exit 126.
# Decided by trying: a 32-bit x86 program of 96 bytes that exits with status 42. A test may
# name another program to try in its place, as the one argument.
set -uo pipefail
[ "${QUELLIN_NO_32BIT:-0}" = 1 ] && exit 1
probe=$(mktemp) || exit 1
trap 'rm -f "$probe"' EXIT
# ELF header (52 bytes), one loadable segment (32 bytes), then: mov eax,1; mov ebx,42; int 0x80.
printf '%b' \
  '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
  '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
  '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
  '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08' \
  '\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00' \
  '\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
chmod +x "$probe"
"${1:-$probe}" 2>/dev/null
[ $? -eq 42 ]
