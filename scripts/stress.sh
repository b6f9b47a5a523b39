#!/usr/bin/env bash
# Hunts a flaky test: runs the built suite's tests that FILTER names (GoogleTest's --gtest_filter)
# RUNS times in each of WORKERS runs side by side, each in its own throw-away Wine prefix on its
# own Xvfb, as a busy machine would, with BUSY more processes that only spin. Prints each
# failure's first lines and the count per worker; exits 1 when any run failed. Build first
# (scripts/test.sh does).
#   bash scripts/stress.sh [-w WORKERS] [-n RUNS] [-b BUSY] FILTER
set -euo pipefail
workers=3 runs=10 busy=0
while getopts w:n:b: option; do
  case $option in
    w) workers=$OPTARG ;;
    n) runs=$OPTARG ;;
    b) busy=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
filter=${1:?usage: stress.sh [-w WORKERS] [-n RUNS] [-b BUSY] FILTER}
source "$(dirname "$0")/wine-env.sh"
[ -f "$QUELLIN_BUILD/bin/quellin_tests.exe" ] || { echo "stress: no $QUELLIN_BUILD/bin/quellin_tests.exe: build first" >&2; exit 1; }
logs=$(mktemp -d)
spinners=()
trap 'kill "${spinners[@]}" 2>/dev/null; rm -rf "$logs"' EXIT
for _ in $(seq "$busy"); do
  (while :; do :; done) &
  spinners+=($!)
done

worker() (
  unset DISPLAY
  quellin_private_prefix
  quellin_persistent_server
  [ "$QUELLIN_32BIT" = 1 ] || export QUELLIN_NO_32BIT=1
  cd "$QUELLIN_BUILD/bin"
  local failed=0 run
  for run in $(seq "$runs"); do
    # As CTest runs it: the Japanese code page, the exes beside the tests, the source tree on Z:.
    LC_ALL=ja_JP.UTF-8 QUELLIN_CODE_PAGE=932 QUELLIN_EXES=quellin.exe QUELLIN_SOURCE="Z:$QUELLIN_ROOT" \
      "$QUELLIN_WINE" quellin_tests.exe --gtest_filter="$filter" >"$logs/$1.$run" 2>&1 && continue
    failed=$((failed + 1))
    echo "worker $1, run $run failed:"
    grep -E -A4 'Failure|trace' "$logs/$1.$run" | head -n 16 | sed 's/^/  /'
  done
  echo "worker $1: $failed of $runs failed"
  [ "$failed" = 0 ]
)

pids=()
for w in $(seq "$workers"); do
  worker "$w" &
  pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit "$status"
