#!/usr/bin/env bash
# The start-up window as a user meets it: it shows the two buttons, the labelled check box and
# the mode list; "start" opens the main window in the selected mode (full screen when the box
# was ticked); "quit", Esc and closing end the program with status 0 and no main window.
set -u
exe=$1
out=$2
. "$(dirname "$0")/lib.bash"
in_xvfb "$@"
mkdir -p "$out"

# Starts the program and waits for its start-up window.
start_program() {
    run=$1
    VELMO_PORT_TRACE="$out/startup_$run.trace" "$exe" >"$out/startup_$run.log" 2>&1 &
    pid=$!
    dialog=$(wait_window "vek" 30) || fail "$run: no start-up window within 30 s"
    sleep 0.5 # let it draw
}

# A left click at client coordinates of the start-up window.
click() {
    timeout -k 1 10 xdotool mousemove --window "$dialog" "$1" "$2" click 1
}

# The run ends within a few seconds, with status 0 and without a main window.
ends_without_main_window() {
    wait_exit "$pid" 10 || fail "$run: the program did not end within 10 s"
    [ "$status" -eq 0 ] || fail "$run: exit status $status"
    presented "$out/startup_$run.trace" 1 && fail "$run: a frame was presented"
    return 0
}

# After "start": the main window opens at the first listed mode's size, and the port's trace
# says whether it asked for full screen ($mode); Esc ends the run.
main_window_opens() {
    local main size first
    main=$(wait_window "velmo 08" 30) || fail "$run: no main window within 30 s of start"
    [ -n "$(find_windows vek)" ] && fail "$run: the start-up window stayed"
    first=$(sed -nE '/^listbox line /{s/^listbox line ([0-9]+x[0-9]+)( .*)?$/\1/p;q}' \
        "$out/startup_$run.trace")
    [ -n "$first" ] || fail "$run: the mode list was empty"
    size=$(timeout -k 1 10 xdotool getwindowgeometry "$main" | sed -n 's/ *Geometry: //p')
    [ "$size" = "$first" ] || fail "$run: main window $size, selected mode $first"
    mode=$(sed -nE 's/^window velmo 08 [0-9]+x[0-9]+ (windowed|fullscreen)$/\1/p' \
        "$out/startup_$run.trace" | head -n 1)
    wait_run "$out/startup_$run.trace" 90 || fail "$run: the run never began"
    press_key "$main" Escape
    wait_exit "$pid" 10 || fail "$run: Esc did not end the program within 10 s"
    [ "$status" -eq 0 ] || fail "$run: exit status $status"
}

# Start-up window geometry (client coordinates): start 0,0 50x20; quit 0,20 50x20;
# check box 52,22 10x10; list 0,40 194x200.
start_program start
screenshot "$out/startup_window.png"
screenshot "$out/startup_window_only.png" "$dialog"
click 25 10
main_window_opens
[ "$mode" = windowed ] || fail "start: the main window is $mode without the box ticked"

start_program fullscreen
click 57 27
sleep 0.3
screenshot "$out/startup_window_ticked.png" "$dialog"
click 25 10
main_window_opens
[ "$mode" = fullscreen ] || fail "fullscreen: the main window is $mode with the box ticked"

start_program quit
click 25 30
ends_without_main_window

start_program escape
press_key "$dialog" Escape
ends_without_main_window

start_program close
close_window "$dialog"
ends_without_main_window

echo "start-up window: ok"
