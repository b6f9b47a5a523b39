#!/usr/bin/env bash
# Start-up benchmark: quellin.exe against a bare window with the same manifest and one push
# button, launched in turn in one Wine session with one persistent wineserver.
#   bash scripts/bench-startup.sh [ROUNDS [OTHER.exe...]]      (default 40 rounds)
# Prints both medians and the median of the per-round ratios; goal 1.15, limit 1.25. Other
# builds of the dialog named after the rounds (an older quellin.exe, say) are timed alike.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-40}
bash scripts/install-deps.sh
source scripts/wine-env.sh

quellin_build >/dev/null
cmake --build "$QUELLIN_BUILD" --target bench_bare bench_startup >/dev/null
unset DISPLAY  # a private Xvfb: nothing else on the screen
quellin_private_prefix
quellin_persistent_server
bin=$(winepath -w "$QUELLIN_BUILD/bin")
others=()
for other in "${@:2}"; do others+=("$(winepath -w "$other")" QuellinMainForm); done
wine "$QUELLIN_BUILD/bin/bench_startup.exe" "$rounds" "$bin\\quellin.exe" QuellinMainForm "$bin\\bench_bare.exe" QuellinBare "${others[@]}"
