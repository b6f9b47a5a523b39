#!/usr/bin/env bash
# The build's own scripts on inputs of their own.
#   bash tests/scripts_test.sh EXE
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# set-load-config.sh's header checksum on sums that need no fold, one, two and three: the words'
# sum with each carry out of 16 bits added back in, then the file's length added.
ffff() { head -c "$1" /dev/zero | tr '\0' '\377'; }
no_fold() { printf '\x01\x00\x02\x00'; }           # 1 + 2 = 3, and 4 bytes: 7
one_fold() { ffff 4; }                                   # 0x1FFFE folds to 0xFFFF, and 4 bytes
two_folds() { ffff 4; printf '\x01\x00'; }            # 0x1FFFF folds to 0x10000, then to 1, and 6 bytes
three_folds() { ffff 262150; printf '\x02\x00'; }     # 0x2_0000_FFFF: 0x2_FFFF, 0x1_0001, 2, and 262152 bytes
for row in "no_fold 7" "one_fold 65539" "two_folds 7" "three_folds 262154"; do
  read -r make expected <<<"$row"
  $make >"$tmp/in"
  got=$(bash "$root/cmake/set-load-config.sh" --checksum "$tmp/in")
  [ "$got" = "$expected" ] || { echo "checksum, $make: $got, not $expected"; exit 1; }
done
# runs-32bit.sh answers yes when its probe exits 42, as a program the kernel runs would, and no
# when it exits otherwise (126: the kernel refused it). QUELLIN_NO_32BIT=1 takes the path of a
# kernel without 32-bit support, whatever this one runs; the first two rows hold with it unset,
# as the caller may have set it for the whole suite.
printf '#!/bin/sh\nexit 42\n' >"$tmp/runs" && printf '#!/bin/sh\nexit 126\n' >"$tmp/refused" && chmod +x "$tmp/runs" "$tmp/refused"
QUELLIN_NO_32BIT= bash "$root/scripts/runs-32bit.sh" "$tmp/runs" || { echo "runs-32bit.sh: no, though the probe ran"; exit 1; }
! QUELLIN_NO_32BIT= bash "$root/scripts/runs-32bit.sh" "$tmp/refused" || { echo "runs-32bit.sh: yes, though the probe was refused"; exit 1; }
! QUELLIN_NO_32BIT=1 bash "$root/scripts/runs-32bit.sh" "$tmp/runs" || { echo "runs-32bit.sh ignores QUELLIN_NO_32BIT=1"; exit 1; }
# check-binary.sh reads the exe's imports (kernel32.dll among them), and takes the empty name
# that a build without the clang exe passes it.
bash "$root/scripts/check-binary.sh" "$1" | grep -q '^imports: .*kernel32\.dll' || { echo "check-binary.sh reads no imports"; exit 1; }
bash "$root/scripts/check-binary.sh" "$1" "" >/dev/null || { echo "check-binary.sh fails on an empty argument"; exit 1; }
# quellin_quiet keeps its log in the private prefix's scratch folder, which goes even when a run
# is stopped midway, and not in TMPDIR. A failing command shows what it printed: here, the
# folders that hold a file.
mkdir "$tmp/t" "$tmp/s"
said=$(TMPDIR=$tmp/t bash -c 'source "$1"; QUELLIN_SCRATCH=$2; logs() { find "$TMPDIR" "$QUELLIN_SCRATCH" -type f -printf "%h\n"; return 3; }
  quellin_quiet logs' - "$root/scripts/wine-env.sh" "$tmp/s" 2>&1) || true
[ "$(sed 1d <<<"$said")" = "  $tmp/s" ] || { echo "quellin_quiet's log is not in the scratch folder alone: $said"; exit 1; }
# A private prefix takes its wineserver's folder under /tmp (server-DEV-INODE) with it.
server=$(bash -c 'source "$1"; quellin_private_prefix; s=$(printf "server-%x-%x" $(stat -c "%d %i" "$WINEPREFIX"))
  compgen -G "/tmp/wine-*/$s" >/dev/null && echo "$s"' - "$root/scripts/wine-env.sh")
[ -n "$server" ] && ! compgen -G "/tmp/wine-*/$server" >/dev/null || { echo "the wineserver's folder was not seen, or stayed: ${server:-none}"; exit 1; }
# mutants.sh with two runs side by side exits as one run would: 0 when no fault survived and no
# line is stale, 1 for a stale line. Wine, the build and the suite are stood in for.
m=$tmp/mutants && mkdir -p "$m/scripts" && cp "$root/scripts/mutants.sh" "$m/scripts/" && git -C "$m" init -q
cat >"$m/scripts/wine-env.sh" <<'EOF'
quellin_private_prefix() { QUELLIN_SCRATCH=$(mktemp -d) WINEPREFIX=$QUELLIN_SCRATCH; touch "$WINEPREFIX/system.reg"; trap 'rm -rf "$QUELLIN_SCRATCH"' EXIT; }
quellin_build() { :; }; quellin_persistent_server() { :; }; wineserver() { :; }; ctest() { :; }
EOF
for row in "0|" $'1|scripts/mutants.sh\tno such text\tx\ta stale line'; do
  printf '%s\n' "${row#*|}" >"$m/list"
  # Its logs, if an outer fault-list run keeps any, stay out of that run's folder.
  code=0 && env -u QUELLIN_MUTANT_LOGS QUELLIN_MUTANT_JOBS=2 bash "$m/scripts/mutants.sh" "$m/list" >/dev/null 2>&1 || code=$?
  [ "$code" = "${row%%|*}" ] || { echo "mutants.sh, two runs side by side: exit $code, not ${row%%|*}"; exit 1; }
done
echo "scripts: the checksum folds as often as it must; quellin_quiet logs in the scratch folder; a private prefix takes its wineserver folder along; the 32-bit probe decides, unless QUELLIN_NO_32BIT=1; check-binary.sh skips an empty name; mutants.sh side by side exits as one run"
