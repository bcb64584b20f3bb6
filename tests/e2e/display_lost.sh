#!/usr/bin/env bash
# When the X server goes away, during the start-up window or during the run, the program ends
# within seconds instead of waiting for ever.
set -u
exe=$1
out=$2
. "$(dirname "$0")/lib.bash"
mkdir -p "$out"

# Starts a display of its own and the program on it; $stage is "startup" or "run".
for stage in startup run; do
    start_xvfb
    start_wm
    "$exe" >"$out/display_lost_$stage.log" 2>&1 &
    pid=$!
    dialog=$(wait_window "vek" 30) || fail "$stage: no start-up window within 30 s"
    if [ "$stage" = run ]; then
        sleep 0.5
        press_key "$dialog" Return
        wait_window "velmo 08" 30 >/dev/null || fail "$stage: no main window within 30 s"
        sleep 1
    fi
    kill "$server"
    wait_exit "$server" 30 || fail "$stage: Xvfb did not end within 30 s of SIGTERM"
    gone=$(now_us)
    # The program finds the display gone at its next event check: during the run that can be
    # after the loading step in progress, seconds on a busy machine without a shader cache.
    wait_exit "$pid" 30 || fail "$stage: the program did not end within 30 s of its display's end"
    echo "$stage: ended $((($(now_us) - gone) / 1000)) ms after the display's end"
done
echo "display lost: ok"
