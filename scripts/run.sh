#!/usr/bin/env bash
# Installs what is missing, builds, and opens the dialog under Wine in your own Wine prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
# The display first: without one there is nothing to install for.
if [ -z "${DISPLAY:-}" ]; then
  echo "run: there is no display (DISPLAY is not set), so the dialog cannot be shown." >&2
  echo "run: start it from a desktop session, or run the tests: ./scripts/test.sh" >&2
  exit 1
fi
bash scripts/install-deps.sh
source scripts/wine-env.sh
echo "run: building (the first build takes a few minutes)" >&2
quellin_build
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine}
quellin_prepare_prefix
exec env LC_ALL=ja_JP.UTF-8 "$QUELLIN_WINE" "$QUELLIN_BUILD/bin/quellin.exe"
