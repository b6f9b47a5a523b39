#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest under Wine, in a private
# throw-away Wine prefix, on a private Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
source scripts/wine-env.sh

quellin_build
unset DISPLAY  # a private Xvfb with no window manager, always: the approved pictures are drawn so
quellin_private_prefix
quellin_persistent_server
[ "$QUELLIN_32BIT" = 1 ] || echo "test: the tests that start the 32-bit exe are skipped: $QUELLIN_NO_32BIT_WHY" >&2
cd "$QUELLIN_BUILD"
unset "${!QUELLIN_SIGN_@}"  # the archive's tests name their own certificates, or none
ctest --output-on-failure "$@"
