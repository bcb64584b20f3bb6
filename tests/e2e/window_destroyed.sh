#!/usr/bin/env bash
# A window destroyed by another client (as xdotool windowclose or xkill -id do), the start-up
# window or the main window, ends the run as closing it does: status 0 within seconds.
set -u
exe=$1
out=$2
. "$(dirname "$0")/lib.bash"
in_xvfb "$@"
mkdir -p "$out"

for stage in startup main; do
    trace="$out/window_destroyed_$stage.trace"
    rm -f "$trace"
    VELMO_PORT_TRACE="$trace" "$exe" >"$out/window_destroyed_$stage.log" 2>&1 &
    pid=$!
    dialog=$(wait_window "vek" 30) || fail "$stage: no start-up window within 30 s"
    sleep 0.5
    target=$dialog
    if [ "$stage" = main ]; then
        press_key "$dialog" Return
        target=$(wait_window "velmo 08" 60) || fail "$stage: no main window within 60 s"
        wait_run "$trace" 90 || fail "$stage: the run did not begin within 90 s"
        sleep 1
    fi
    timeout -k 1 10 xdotool windowclose "$target" 2>/dev/null
    wait_exit "$pid" 10 || fail "$stage: the program did not end within 10 s of its window's end"
    [ "$status" -eq 0 ] || fail "$stage: exit status $status"
    grep -q "X Error" "$out/window_destroyed_$stage.log" && fail "$stage: X errors were printed"
done
echo "window destroyed: ok"
