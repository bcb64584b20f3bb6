#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite twice: once as built for
# playing, once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
bash "$root/scripts/install-deps.sh"
jobs=$(nproc)

bash "$root/scripts/build.sh" build
(cd "$root/build" && ctest --output-on-failure -j "$jobs" -LE e2e)
# The end-to-end runs drive real windows under Xvfb, each wait bounded in seconds of wall time
# with room for a busy machine. They run twice: on a bare display, and with a window manager
# managing the windows (focus, frames), as on a desktop.
(cd "$root/build" && ctest --output-on-failure -L e2e)
(cd "$root/build" && VELMO_E2E_WM=openbox ctest --output-on-failure -L e2e)

bash "$root/scripts/build.sh" build-asan -DVELMO_SANITIZE=ON -DVELMO_BENCH=OFF
(cd "$root/build-asan" && ctest --output-on-failure -j "$jobs" -LE e2e)
