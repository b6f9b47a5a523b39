#!/usr/bin/env bash
# Makes the approved pictures of the dialog anew, for a deliberate change of its look:
#   bash scripts/approve-pictures.sh
# Runs the picture test as the test command does, on a private Xvfb with no window manager; each
# render that differs from its approved picture (or has none) then replaces it in tests/approved/,
# and the guide's picture follows.
# Look at every changed one before committing it: from then on the test holds the program to it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
source scripts/wine-env.sh

quellin_build >/dev/null
unset DISPLAY
quellin_private_prefix
quellin_persistent_server
rm -f "$QUELLIN_BUILD"/bin/rendered-*.png
ctest --test-dir "$QUELLIN_BUILD" -R '^Pictures$' >/dev/null 2>&1 || true
shopt -s nullglob
for render in "$QUELLIN_BUILD"/bin/rendered-*.png; do
  cp "$render" "tests/approved/${render##*/rendered-}"
done
# The guide shows the dialog as opened on an empty key, at 96 DPI.
cp tests/approved/empty-96.png docs/quellin.png
git status --short tests/approved docs/quellin.png
