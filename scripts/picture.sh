#!/usr/bin/env bash
# Renders the dialog to a PNG, as a person would see it, without Windows:
#   bash scripts/picture.sh [DPI] [OUTPUT.png]      (defaults: 96, quellin-DPI.png)
# It runs in a private Wine prefix on a private Xvfb with no window manager, so that Wine draws
# the window's frame and caption itself, as for the tests' approved pictures. The settings
# shown are an empty key's.
set -euo pipefail
cd "$(dirname "$0")/.."
dpi=${1:-96}
out=$(realpath -m "${2:-quellin-$dpi.png}")
bash scripts/install-deps.sh
source scripts/wine-env.sh

quellin_build >/dev/null
unset DISPLAY
quellin_private_prefix
quellin_quiet wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f
target=$(winepath -w "$out")
quellin_wine wine "$QUELLIN_BUILD/bin/quellin_shot.exe" "$QUELLIN_BUILD/bin/quellin.exe" "$target"
