#!/usr/bin/env bash
# The long-run checks of the whole production, too slow for the test command: the run from
# start to its end on a substituted clock, every frame rendered (FPS frames per second of demo
# time, 15 unless given), with all fixed 50 ms updates, by the test aid velmo_whole_run
# (aids/whole_run.cpp):
#   1. in the sanitizer tree (build-asan): AddressSanitizer, UndefinedBehaviorSanitizer, leak
#      checking at exit, and the GL check that ends the run on the first OpenGL error;
#   2. in the tree for playing (build): resident memory steady over each scene and the
#      render-target pool's size steady from frame to frame.
# Usage: scripts/whole-run-check.sh [FPS]. Exits non-zero when either run fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
fps=${1:-15}
jobs=$(nproc)

cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMO_SANITIZE=ON \
      -DVELMO_BENCH=OFF -DVELMO_GL_CHECK=ON >/dev/null
cmake --build "$root/build-asan" -j "$jobs" --target velmo_whole_run velmo_data velmo_effects >/dev/null
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$jobs" --target velmo_whole_run velmo_data velmo_effects >/dev/null

log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0

echo "== sanitizers and GL check (build-asan), $fps frames per second of demo time"
start=$(date +%s)
if (cd "$root/build-asan" &&
    ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0 \
    LSAN_OPTIONS=suppressions=$root/tests/lsan.supp \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ./velmo_whole_run --fps "$fps") >"$log" 2>&1 &&
    ! grep -qE "runtime error|Sanitizer|GL error" "$log"; then
    echo "passed in $(($(date +%s) - start)) s"
else
    echo "FAILED after $(($(date +%s) - start)) s:"
    status=1
fi
grep -vE "^t = " "$log" | head -100

echo "== memory and render-target pool (build), $fps frames per second of demo time"
start=$(date +%s)
if (cd "$root/build" && ./velmo_whole_run --fps "$fps" --check) >"$log" 2>&1; then
    echo "passed in $(($(date +%s) - start)) s"
else
    echo "FAILED after $(($(date +%s) - start)) s:"
    status=1
fi
cat "$log"
exit $status
