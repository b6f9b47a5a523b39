#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest under Wine, in a private
# throw-away Wine prefix and, when there is no display, on a private Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
source scripts/wine-env.sh

QUELLIN_XVFB_PID=""
scratch=$(mktemp -d)
cleanup() {
  WINEPREFIX="$scratch/prefix" wineserver -k >/dev/null 2>&1 || true
  [ -n "$QUELLIN_XVFB_PID" ] && kill "$QUELLIN_XVFB_PID" 2>/dev/null && wait "$QUELLIN_XVFB_PID" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

quellin_build
export WINEPREFIX="$scratch/prefix"
quellin_ensure_display
quellin_prepare_prefix
# One wineserver for the whole run, with Wine's own background services started here: started
# by the first test, they would inherit CTest's output pipe and keep it waiting after the test.
wineserver -w
wineserver -p
wine wineboot.exe </dev/null >/dev/null 2>&1
cd "$QUELLIN_BUILD"
ctest --output-on-failure "$@"
