#!/usr/bin/env bash
# When the X server goes away, during the start-up window or during the run, the program ends
# within a few seconds instead of waiting for ever.
set -u
exe=$1
out=$2
. "$(dirname "$0")/lib.bash"
mkdir -p "$out"

# Starts a display of its own and the program on it; $stage is "startup" or "run".
for stage in startup run; do
    exec 3>"$out/display_lost_$stage.display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 >/dev/null 2>&1 &
    server=$!
    exec 3>&-
    for _ in $(seq 50); do
        [ -s "$out/display_lost_$stage.display" ] && break
        sleep 0.1
    done
    export DISPLAY=:$(head -n 1 "$out/display_lost_$stage.display")
    [ "$DISPLAY" != ":" ] || fail "$stage: Xvfb did not start"
    start_wm
    "$exe" >"$out/display_lost_$stage.log" 2>&1 &
    pid=$!
    dialog=$(wait_window "vek" 20) || fail "$stage: no start-up window"
    if [ "$stage" = run ]; then
        sleep 0.5
        press_key "$dialog" Return
        wait_window "velmo 08" 20 >/dev/null || fail "$stage: no main window"
        sleep 1
    fi
    kill "$server"
    wait "$server" 2>/dev/null
    wait_exit "$pid" 10 || fail "$stage: the program did not end after its display went away"
done
echo "display lost: ok"
