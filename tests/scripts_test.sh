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
# It fails on an exe it must refuse: the test program beside it, over nine times the shipped exe's
# size, and importing libraries (dbghelp.dll) that the shipped exe must do without.
! bash "$root/scripts/check-binary.sh" "$(dirname "$1")/quellin_tests.exe" >/dev/null || { echo "check-binary.sh passes the test program"; exit 1; }
# A warning from either compiler fails the build, as the README says: every build of the exe (the
# 32-bit and clang ones too, where there are any) compiles it with -Werror.
for b in "$(dirname "$1")/.." "$(dirname "$1")"/../quellin_{x86,clang}; do
  [ ! -d "$b" ] || grep -q -s -- -Werror "$b"/CMakeFiles/quellin.dir/flags.make "$b"/build.ninja || { echo "$b lets warnings pass"; exit 1; }
done
# test.sh hides the caller's display from the suite (a private Xvfb is made), and exits as CTest
# does. The installs, Wine, the build and CTest, which fails, are stood in for.
t=$tmp/test && mkdir -p "$t/scripts" && cp "$root/scripts/test.sh" "$t/scripts/" && : >"$t/scripts/install-deps.sh"
cat >"$t/scripts/wine-env.sh" <<'EOF'
QUELLIN_BUILD=$PWD QUELLIN_32BIT=1
quellin_build() { :; }; quellin_private_prefix() { echo "display ${DISPLAY:-none}"; }; quellin_persistent_server() { :; }; ctest() { return 8; }
EOF
code=0 && said=$(DISPLAY=:99 bash "$t/scripts/test.sh" 2>&1) || code=$?
[ "$code|$said" = "8|display none" ] || { echo "test.sh: exit $code, not CTest's 8, or the suite sees the caller's display: $said"; exit 1; }
# quellin_quiet keeps its log in the private prefix's scratch folder, which goes even when a run
# is stopped midway, and not in TMPDIR. A failing command shows what it printed: here, the
# folders that hold a file.
mkdir "$tmp/t" "$tmp/s"
said=$(TMPDIR=$tmp/t bash -c 'source "$1"; QUELLIN_SCRATCH=$2; logs() { find "$TMPDIR" "$QUELLIN_SCRATCH" -type f -printf "%h\n"; return 3; }
  quellin_quiet logs' - "$root/scripts/wine-env.sh" "$tmp/s" 2>&1) || true
[ "$(sed 1d <<<"$said")" = "  $tmp/s" ] || { echo "quellin_quiet's log is not in the scratch folder alone: $said"; exit 1; }
# A private prefix takes with it its scratch folder, the Xvfb it started where there was no
# display, and its wineserver's folder under /tmp (server-DEV-INODE), even when a second signal
# comes as it clears them (sent here as the clean-up stops the wineserver).
seen=$(env -u DISPLAY bash -c 'source "$1"; quellin_private_prefix; wineserver() { [ "$1" != -k ] || kill -TERM $$; command wineserver "$@"; }; s=$(printf "server-%x-%x" $(stat -c "%d %i" "$WINEPREFIX"))
  compgen -G "/tmp/wine-*/$s" >/dev/null && echo "$s $QUELLIN_SCRATCH ${QUELLIN_XVFB_PID:-none}"' - "$root/scripts/wine-env.sh") || true
read -r server scratch xvfb <<<"$seen" || true
left=$(compgen -G "/tmp/wine-*/${server:-none}" || true; [ ! -e "$scratch" ] || echo "$scratch"; ! kill -0 "$xvfb" 2>/dev/null || echo "Xvfb $xvfb")
[ "${xvfb:-none}" != none ] && [ -z "$left" ] || { kill "$xvfb" 2>/dev/null || true; rm -rf ${scratch:+"$scratch"}; d=$(compgen -G "/tmp/wine-*/${server:-none}") && rm -rf "$d" && rmdir "${d%/*}" 2>/dev/null || true; echo "a private prefix was not seen whole, or left: ${left:-nothing}"; exit 1; }
# QUELLIN_NO_32BIT=1 takes the 64-bit loader's path, as on a kernel without 32-bit support: the
# build tells CTest so (its Wine, and no 32-bit runs), the scripts and the processes Wine starts
# (WINELOADER) reach Wine through it, and the line that says why the 32-bit tests skip names the
# variable. CMake is stood in for, printing what the build tells it (its output is hidden).
said=$(env -u WINELOADER QUELLIN_NO_32BIT=1 bash -c 'source "$1"; cmake() { for a; do [[ $a != -DWINE_EXECUTABLE=* && $a != -DQUELLIN_RUN_32BIT=* ]] || echo -n "$a|" >&3; done; }
  quellin_build; echo "$QUELLIN_WINE|$WINELOADER|$QUELLIN_NO_32BIT_WHY"' - "$root/scripts/wine-env.sh" 3>&1)
[[ $said == "-DWINE_EXECUTABLE=/usr/lib/wine/wine64|-DQUELLIN_RUN_32BIT=0|/usr/lib/wine/wine64|/usr/lib/wine/wine64|"*QUELLIN_NO_32BIT=1* ]] ||
  { echo "QUELLIN_NO_32BIT=1 does not take the 64-bit loader's path: $said"; exit 1; }
# mutants.sh with two runs side by side exits as one run would: 0 when no fault survived and no
# line is stale, 1 for a stale line. Wine, the build and the suite are stood in for.
m=$tmp/mutants && mkdir -p "$m/scripts" && cp "$root/scripts/mutants.sh" "$m/scripts/" && git -C "$m" init -q
cat >"$m/scripts/wine-env.sh" <<'EOF'
quellin_private_prefix() { QUELLIN_SCRATCH=$(mktemp -d) WINEPREFIX=$QUELLIN_SCRATCH; touch "$WINEPREFIX/system.reg"; trap 'rm -rf "$QUELLIN_SCRATCH"' EXIT; }
quellin_build() { :; }; quellin_persistent_server() { :; }; wineserver() { :; }; ctest() { :; }
EOF
for row in "0|" $'1|scripts/mutants.sh\tno such text\tx\ta stale line'; do
  printf '%s\n' "${row#*|}" >"$m/list"
  # Its logs, if an outer fault-list run keeps any, stay out of that run's folder; its folders, even
  # those a fault leaves behind, stay in this test's.
  code=0 && env -u QUELLIN_MUTANT_LOGS TMPDIR="$tmp" QUELLIN_MUTANT_JOBS=2 bash "$m/scripts/mutants.sh" "$m/list" >/dev/null 2>&1 || code=$?
  [ "$code" = "${row%%|*}" ] || { echo "mutants.sh, two runs side by side: exit $code, not ${row%%|*}"; exit 1; }
done
# Stopped by Ctrl-C while both runs are busy (the suite, stood in for, runs until stopped), it stops
# them at once: they clear up, and no folder or process of theirs is left.
echo '[ -z "${BUSY:-}" ] || ctest() { touch "$QUELLIN_SCRATCH/busy"; tail -f "$QUELLIN_SCRATCH/busy"; }' >>"$m/scripts/wine-env.sh"
mkdir "$tmp/mt"; set -m; TMPDIR=$tmp/mt BUSY=1 QUELLIN_MUTANT_JOBS=2 bash "$m/scripts/mutants.sh" "$m/list" </dev/null >/dev/null 2>&1 & run=$!; set +m
poll() { for _ in $(seq 200); do eval "$1" && return; sleep 0.1; done; false; }
poll '[ "$(compgen -G "$tmp/mt/*/busy" | wc -l)" = 2 ]' && kill -INT -- "-$run" && poll '[ -z "$(ls -A "$tmp/mt")" ] && ! pgrep -f "$tmp/mt/" >/dev/null' ||
  { kill -KILL -- "-$run" 2>/dev/null || true; pkill -KILL -f "$tmp/mt/" || true; echo "mutants.sh, stopped while both runs were busy, left: $(ls "$tmp/mt")"; exit 1; }
echo "scripts: the checksum folds as often as it must; quellin_quiet logs in the scratch folder; a private prefix takes its folders and Xvfb along; QUELLIN_NO_32BIT=1 takes the 64-bit loader; the 32-bit probe decides, unless QUELLIN_NO_32BIT=1; check-binary.sh skips an empty name and refuses the test program; every build takes warnings as errors; test.sh hides the display and exits as CTest does; mutants.sh side by side exits as one run, and stops both at once"
