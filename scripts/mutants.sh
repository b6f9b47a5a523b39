#!/usr/bin/env bash
# Runs the fault list: puts each fault into a throw-away copy of the checkout, rebuilds the copy
# and runs the suite until its first failing test, then undoes the fault and rebuilds again. A
# fault that nothing catches is a missing guard.
#
#   scripts/mutants.sh [LIST] [FILTER]
#
# LIST is tests/mutants.txt unless named; FILTER, an extended regular expression (as grep -E),
# runs only the faults whose path or comment it matches. Each fault's number is its line in LIST.
# A line marked equivalent is not run, but its pattern must still match once, or it is stale.
# A test has QUELLIN_MUTANT_TIMEOUT seconds (300) unless CTest gives it a time-out of its own.
# QUELLIN_MUTANT_LOGS=DIR keeps each fault's build and test logs there (N.build.log, N.ctest.log).
# QUELLIN_MUTANT_JOBS=N runs the list as N runs side by side, each with its own copy, Wine prefix
# and Xvfb, taking every Nth fault (QUELLIN_MUTANT_SHARD=K/N: from the Kth), and reports them as
# one: one a processor, on a machine with nothing else to do.
# Exits 1 when a fault survived or a line is stale, 2 when the unchanged copy fails.
# On demand only: a full build and a run of the suite per fault is too slow for CI.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
list=$(realpath "${1:-$root/tests/mutants.txt}")
filter=${2:-}
timeout=${QUELLIN_MUTANT_TIMEOUT:-300}
[ -f "$list" ] || { echo "no list at $list" >&2; exit 2; }
valid=0
[[ "" =~ $filter ]] || valid=$?
[ "$valid" -ne 2 ] || { echo "not a regular expression: $filter" >&2; exit 2; }
logs=${QUELLIN_MUTANT_LOGS:-}
shard=${QUELLIN_MUTANT_SHARD:-1/1}
[[ $shard =~ ^([0-9]+)/([0-9]+)$ ]] && ((BASH_REMATCH[1] >= 1 && BASH_REMATCH[1] <= BASH_REMATCH[2])) ||
  { echo "QUELLIN_MUTANT_SHARD is K/N with 1 <= K <= N, not $shard" >&2; exit 2; }
shard_k=${BASH_REMATCH[1]} shard_n=${BASH_REMATCH[2]}
if [ -n "$logs" ]; then mkdir -p "$logs" && logs=$(realpath "$logs"); fi

jobs=${QUELLIN_MUTANT_JOBS:-1}
if [ "$jobs" -gt 1 ]; then
  out=$(mktemp -d)
  # Each run in a process group of its own, so that stopping this script (Ctrl-C, say) stops
  # what each run is doing (a build, the suite) at once, not once it ends: a script's background
  # jobs ignore Ctrl-C. Nor do they then read the terminal's input. With no run left to end, kill
  # fails: under set -e every exit would be 2.
  set -m
  trap 'kill -TERM -- $(jobs -p | sed "s/^/-/") 2>/dev/null || true; rm -rf "$out"' EXIT
  for k in $(seq "$jobs"); do
    env -u DISPLAY QUELLIN_MUTANT_JOBS=1 QUELLIN_MUTANT_SHARD="$k/$jobs" bash "$0" "$list" "$filter" </dev/null >"$out/$k" 2>"$out/$k.err" &
  done
  code=0
  for k in $(seq "$jobs"); do wait -n || code=$((code > $? ? code : $?)); done
  # The faults in the list's order, then the counts of all the runs added up.
  { grep -h '^#' "$out"/[0-9]* || true; } | sort -t'#' -k2 -n  # none, when the filter takes no line
  cat "$out"/[0-9]* | awk -v runs="$jobs" '/ caught, / { for (i = 1; i < NF; i += 2) n[i] += $i }
    END { printf "%d caught, %d survived, %d equivalent, %d stale (%d runs)\n", n[1], n[3], n[5], n[7], runs }'
  grep -h '^wall time' "$out"/[0-9]* | sed 's/^/one run: /'
  [ "$code" -lt 2 ] || cat "$out"/*.err >&2
  exit "$code"
fi

microseconds() { echo "${EPOCHREALTIME//[!0-9]/}"; }
# Seconds since the given microseconds, to a tenth.
since() { local t=$((($(microseconds) - $1) / 100000)); echo "$((t / 10)).$((t % 10)) s"; }
say() { echo "mutants: $*" >&2; }
started=$(microseconds)

# Puts one fault into a file, or with "count" only checks it. Pattern and replacement come
# through the environment, so no quoting of theirs reaches a shell; the replacement is the body
# of a double-quoted string, evaluated with NUL as its delimiter (no line can hold a NUL), so
# quotes and braces in it stay text. Exit codes: 3 no match, 4 several, 5 changes nothing,
# 6 a line Perl cannot use.
read -r -d '' apply <<'PERL' || true
use strict;
use warnings FATAL => 'all';
my ($mode, $file) = @ARGV;
open my $in, '<:raw', $file or die "$file: $!\n";
my $text = do { local $/; <$in> };
close $in;
my $re = eval { qr/$ENV{MUTANT_PATTERN}/ } or do { print STDERR "pattern: $@"; exit 6 };
my $matches = 0;
$matches++ while $text =~ /$re/g;
print "$matches\n";
exit($matches ? 4 : 3) if $matches != 1;
exit 0 if $mode eq 'count';
$text =~ /$re/ or die;
my ($start, $length) = ($-[0], $+[0] - $-[0]);
my $body = $ENV{MUTANT_REPLACEMENT};
my $replacement = $body =~ /\0/ ? undef : eval "qq\0$body\0";
defined $replacement or do { print STDERR "replacement: $@"; exit 6 };
exit 5 if $replacement eq substr($text, $start, $length);
substr($text, $start, $length) = $replacement;
open my $out, '>:raw', $file or die "$file: $!\n";
print $out $text;
close $out or die "$file: $!\n";
PERL

# The failing test in a CTest log: its name, status, first failed GoogleTest case, and the
# case that was running when it stopped (for a time-out). The output of a test run under Wine
# ends its lines with CR, which \S leaves out.
read -r -d '' failure <<'PERL' || true
my ($test, $status, $case, $running);
while (<>) {
    if (!defined $test) {
        # A skipped test (where the kernel runs no 32-bit code) is not a failing one.
        ($test, $status) = ($1, $2) if /Test\s+#\d+: (\S+) \.*\s*\*\*\*(?!Skipped)(.*?)\s+[\d.]+ sec/;
        next;
    }
    $case //= $1 if /^\[  FAILED  \] ([^\s,]+)/;
    $running = $1 if /^\[ RUN      \] (\S+)/;
    undef $running if /^\[ +(OK|FAILED|SKIPPED) +\]/;
}
print join("\x1f", $test // '', $status // '', $case // '', $running // ''), "\n";
PERL

# The prefix first: from here on, its clean-up (trap on EXIT) removes the copy as well, since
# the copy lives in the same scratch folder; Ctrl-C exits through it too.
source "$root/scripts/wine-env.sh"
say "preparing a private Wine prefix"
quellin_private_prefix
say "prefix ready after $(since "$started")"
work=$QUELLIN_SCRATCH/mutants
tree=$work/tree
mkdir -p "$tree"

# What `git status` shows, uncommitted edits and new files included; ignored files left out.
say "copying the checkout"
git -C "$root" ls-files -z --cached --others --exclude-standard --deduplicate |
  (cd "$root" && perl -0ne 'chomp; print "$_\0" if -e || -l') |
  tar -C "$root" --null -T - -cf - | tar -C "$tree" -xf -
QUELLIN_ROOT=$tree
QUELLIN_BUILD=$tree/build

say "building the copy once"
build_started=$(microseconds)
if ! quellin_build >"$work/build.log" 2>&1; then
  tail -n 40 "$work/build.log" >&2
  say "the unchanged copy does not build"
  exit 2
fi
say "built in $(since "$build_started")"
# The registry as the tests first find it, restored after every failing run (below).
wineserver -w
mkdir "$work/registry"
cp "$WINEPREFIX"/*.reg "$work/registry/"
quellin_persistent_server

# Runs the suite, in declared order, up to the first failing test. Returns 0 when every test
# passed; otherwise sets `caught`. A failing test may leave an exe running (a time-out always
# does) or the registry changed: the wineserver is restarted on the registry as it was first.
run_suite() {
  local log=$work/ctest.log code=0 test status case running
  # GoogleTest stops too, at the first failing case of a test program.
  GTEST_FAIL_FAST=1 ctest --test-dir "$QUELLIN_BUILD" --stop-on-failure --timeout "$timeout" --output-on-failure \
    </dev/null >"$log" 2>&1 || code=$?
  [ "$code" -eq 0 ] && return 0
  IFS=$'\x1f' read -r test status case running < <(perl -e "$failure" "$log")
  if [ -z "$test" ]; then
    caught="caught by ctest (exit $code)"
  elif [ "$status" = Timeout ]; then
    caught="caught by $test (time-out${running:+ in $running})"
  elif [ -n "$case" ]; then
    caught="caught by $test ($case)"
  elif [ "$status" = Failed ]; then
    caught="caught by $test"
  else
    caught="caught by $test ($status)"
  fi
  wineserver -k
  wineserver -w
  cp "$work/registry"/*.reg "$WINEPREFIX/"
  quellin_persistent_server
  return 1
}

say "running the suite on the unchanged copy"
suite_started=$(microseconds)
if ! run_suite; then
  cat "$work/ctest.log" >&2
  say "the suite fails on the unchanged copy ($caught); no fault can be judged"
  exit 2
fi
say "the suite passes on the unchanged copy in $(since "$suite_started")"
keep() { [ -z "$logs" ] || [ ! -f "$work/$1" ] || cp "$work/$1" "$logs/$2"; }
keep ctest.log baseline.ctest.log

# Builds the copy. A fault in a build script (the load configuration's, say) takes effect only
# when the exes are linked, which nothing else makes happen: they go first, to be relinked.
build() {
  [[ $1 =~ ^cmake/|\.cmake$|(^|/)CMakeLists\.txt$ ]] &&
    rm -f "$QUELLIN_BUILD"/bin/quellin*.exe "$QUELLIN_BUILD/clang/bin/quellin.exe"
  cmake --build "$QUELLIN_BUILD" -j "$(nproc)" >"$work/build.log" 2>&1
}

n_caught=0 n_build=0 n_survived=0 n_equivalent=0 n_stale=0
report() {  # number, verdict, path, comment, start time
  printf '#%-4s %-44s %s: %s  (%s)\n' "$1" "$2" "$3" "$4" "$(since "$5")"
}

number=0 faults=0
while IFS= read -r line <&3 || [ -n "$line" ]; do
  number=$((number + 1))
  line=${line%$'\r'}
  [[ -z ${line//[[:space:]]/} || $line == '#'* ]] && continue
  faults=$((faults + 1))
  [ $(((faults - 1) % shard_n + 1)) -eq "$shard_k" ] || continue
  fault_started=$(microseconds)
  tabs=${line//[!$'\t']/}
  path=${line%%$'\t'*}
  rest=${line#*$'\t'}
  pattern=${rest%%$'\t'*}
  rest=${rest#*$'\t'}
  replacement=${rest%%$'\t'*}
  comment=${rest#*$'\t'}
  if [ -n "$filter" ] && ! [[ $path =~ $filter || $comment =~ $filter ]]; then continue; fi
  if [ "${#tabs}" -lt 3 ]; then
    report "$number" "stale (not four fields)" "${path:0:40}" "" "$fault_started"
    n_stale=$((n_stale + 1))
    continue
  fi
  file=$tree/$path
  if [[ $path == /* || /$path/ == */../* || ! -f $file ]]; then
    report "$number" "stale (no such file)" "$path" "$comment" "$fault_started"
    n_stale=$((n_stale + 1))
    continue
  fi

  # An equivalent fault is not run, but its pattern must still find its place.
  mode=apply
  [[ $comment == equivalent:* ]] && mode=count
  [ "$mode" = apply ] && cp -- "$file" "$work/original"
  code=0
  matches=$(MUTANT_PATTERN=$pattern MUTANT_REPLACEMENT=$replacement perl -e "$apply" "$mode" "$file" \
    2>"$work/perl.log") || code=$?
  case $code in
    0) ;;
    3) verdict="stale" ;;
    4) verdict="ambiguous ($matches matches)" ;;
    5) verdict="stale (the replacement changes nothing)" ;;
    *) verdict="stale (bad line: $(head -n 1 "$work/perl.log"))" ;;
  esac
  if [ "$code" -ne 0 ]; then
    report "$number" "$verdict" "$path" "$comment" "$fault_started"
    n_stale=$((n_stale + 1))
    continue
  fi
  if [ "$mode" = count ]; then
    report "$number" "equivalent" "$path" "$comment" "$fault_started"
    n_equivalent=$((n_equivalent + 1))
    continue
  fi

  rm -f "$work/ctest.log"
  if ! build "$path"; then
    verdict="caught (build)"
    n_caught=$((n_caught + 1)) n_build=$((n_build + 1))
  elif run_suite; then
    verdict="SURVIVED"
    n_survived=$((n_survived + 1))
  else
    verdict=$caught
    n_caught=$((n_caught + 1))
  fi
  # The same bytes, with a new time, so that the next build sees the file changed back.
  cp -- "$work/original" "$file"
  cmp -s "$work/original" "$file" || { say "could not restore $path"; exit 2; }
  keep build.log "$number.build.log"
  keep ctest.log "$number.ctest.log"
  # Every fault starts from a build of the unchanged tree: nothing a fault built carries over.
  build "$path" || { tail -n 40 "$work/build.log" >&2; say "the copy no longer builds once #$number is undone"; exit 2; }
  report "$number" "$verdict" "$path" "$comment" "$fault_started"
done 3<"$list"

echo "$n_caught caught, $n_survived survived, $n_equivalent equivalent, $n_stale stale"
[ "$n_build" -eq 0 ] || echo "($n_build of them by the build alone: a real catch only for a fault in types)"
echo "wall time $(since "$started")"
[ "$n_survived" -eq 0 ] && [ "$n_stale" -eq 0 ]
