#!/usr/bin/env bash
# Renders the running dialog to a PNG, as a person would see it, without Windows:
#   bash scripts/picture.sh [DPI] [OUTPUT.png]      (defaults: 96, quellin-DPI.png)
# It runs in a private Wine prefix on a private Xvfb, inside a Wine virtual desktop so that
# Wine draws the window's frame and caption itself. The settings shown are an empty key's.
set -euo pipefail
cd "$(dirname "$0")/.."
dpi=${1:-96}
out=$(realpath -m "${2:-quellin-$dpi.png}")
bash scripts/install-deps.sh imagemagick
source scripts/wine-env.sh

quellin_build >/dev/null
unset DISPLAY  # a private Xvfb, the size of the virtual desktop
quellin_private_prefix
quellin_wine wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1

quellin_wine wine explorer /desktop=Quellin,1280x1024 "$QUELLIN_BUILD/bin/quellin.exe" >/dev/null 2>&1 &
# Wait until the picture has the dialog in it and has stopped changing.
previous=""
for _ in $(seq 100); do
  sleep 0.3
  import -window root "$QUELLIN_SCRATCH/shot.png" 2>/dev/null || continue
  convert "$QUELLIN_SCRATCH/shot.png" -fuzz 10% -trim +repage "$QUELLIN_SCRATCH/trimmed.png" 2>/dev/null
  size=$(identify -format '%w' "$QUELLIN_SCRATCH/trimmed.png")
  sum=$(md5sum <"$QUELLIN_SCRATCH/trimmed.png")
  if [ "$size" -gt 100 ] && [ "$sum" = "$previous" ]; then
    cp "$QUELLIN_SCRATCH/trimmed.png" "$out"
    echo "wrote $out ($(identify -format '%wx%h' "$out"))"
    exit 0
  fi
  previous=$sum
done
echo "picture: the dialog did not appear" >&2
exit 1
