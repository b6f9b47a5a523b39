#!/usr/bin/env bash
# Start-up benchmark: quellin.exe against two yardsticks, launched in turn in one Wine session
# with one persistent wineserver. The twin (tools/bench/twin.cpp) is the dialog without its
# logic: the same window, controls, fonts, icon, manifest and reads. The bare window, one push
# button and the same manifest, gives the scale: what any window costs here. Each counts as up
# once its window is visible and painted.
#   ./scripts/bench-startup.sh [RUNS] [ROUNDS]      (default 3 runs of 150 rounds)
# Prints each run's medians and the median per-round ratios of the exe to each yardstick, then
# one line per run. The aim is at most 1.05 times the twin; the exit status is 1 when a run
# misses it.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
rounds=${2:-150}
bash scripts/install-deps.sh
source scripts/wine-env.sh

quellin_build >/dev/null
cmake --build "$QUELLIN_BUILD" --target bench_startup bench_twin bench_bare >/dev/null
unset DISPLAY  # a private Xvfb: nothing else on the screen
# Everything from here on one processor: a start makes thousands of wineserver round trips, and
# across two processors each wakes the other one, which on a virtual machine made the times
# two to three times longer and scattered them.
taskset -cp 0 $$ >/dev/null
quellin_private_prefix
quellin_persistent_server
bin=$(quellin_wine winepath -w "$QUELLIN_BUILD/bin")
summary=()
missed=0
for run in $(seq "$runs"); do
  echo "run $run of $runs:"
  out=$(quellin_wine wine "$QUELLIN_BUILD/bin/bench_startup.exe" "$rounds" "$bin\\quellin.exe" QuellinMainForm \
          "$bin\\bench_twin.exe" QuellinTwin "$bin\\bench_bare.exe" QuellinBare | tr -d '\r')
  echo "$out"
  twin=$(awk '$1 == "bench_twin.exe" {print $NF}' <<<"$out")
  bare=$(awk '$1 == "bench_bare.exe" {print $NF}' <<<"$out")
  verdict="within the aim of 1.05"
  if awk "BEGIN {exit !($twin > 1.05)}"; then verdict="ABOVE the aim of 1.05"; missed=1; fi
  summary+=("run $run: quellin.exe is $twin times the twin ($verdict), $bare times the bare window")
done
printf '%s\n' "${summary[@]}"
exit "$missed"
