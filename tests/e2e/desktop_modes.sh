#!/usr/bin/env bash
# On a desktop that offers several modes (Xorg's dummy driver: 1280x1024, modes up to
# 1920x1080): the start-up window lists the modes smallest first, and "start" untouched opens
# the main window at the smallest, within the screen. A full-screen run in that mode, ended by
# SIGHUP (the terminal it was started from closed), ends as SIGTERM ends it, and the desktop
# is back at its own mode. Skipped, with one line saying why, where Xorg cannot start.
set -u
exe=$1
out=$2
. "$(dirname "$0")/lib.bash"
. "$(dirname "$0")/desktop.bash"
in_xorg_dummy "$@"
[ "$VELMO_E2E_DISPLAY" != 1 ] && start_wm
mkdir -p "$out"

desktop=$(current_mode)
smallest=$(display_modes | head -n 1)
[ -n "$desktop" ] && [ -n "$smallest" ] || fail "xrandr named no modes"
[ "$smallest" != "$desktop" ] || fail "the display's smallest mode is its current one ($desktop)"

# Starts run $1 of the program and waits for its start-up window ($dialog).
start_program() {
    run=$1
    VELMO_PORT_TRACE="$out/desktop_$run.trace" "$exe" >"$out/desktop_$run.log" 2>&1 &
    pid=$!
    dialog=$(wait_titled "vek" 30) || fail "$run: no start-up window"
    sleep 0.5 # let it draw
}

# "start" untouched: the list is in Direct3D's order, its preselected first line is the
# smallest mode, and the main window has that size, within the screen.
start_program start
press_key "$dialog" Return || fail "start: Return could not be pressed"
window=$(wait_titled "velmo 08" 30) || fail "start: no main window"
listed=$(sed -n 's/^listbox line \([0-9]*x[0-9]*\) .*/\1/p' "$out/desktop_start.trace")
[ "$(head -n 1 <<<"$listed")" = "$smallest" ] ||
    fail "start: the first mode listed is $(head -n 1 <<<"$listed"), the smallest $smallest"
[ "$listed" = "$(sort -t x -n -k1,1 -k2,2 <<<"$listed")" ] ||
    fail "start: the modes are not listed smallest first:" $listed
size=$(timeout -k 1 10 xdotool getwindowgeometry "$window" | sed -n 's/ *Geometry: //p')
[ "$size" = "$smallest" ] || fail "start: main window $size, smallest mode $smallest"
w=${size%x*} h=${size#*x}
[ "$w" -le "${desktop%x*}" ] && [ "$h" -le "${desktop#*x}" ] ||
    fail "start: main window $size larger than the screen $desktop"
screenshot "$out/desktop_start.png"
close_window "$window"
wait_exit "$pid" 30 || fail "start: closing did not end the program within 30 s"
[ "$status" -eq 0 ] || fail "start: exit status $status"

# Full screen in the preselected (smallest) mode: Tab to the check box, tick it, start.
start_program hangup
for key in Tab Tab space Return; do
    press_key "$dialog" "$key" || fail "hangup: $key could not be pressed"
    sleep 0.2
done
window=$(wait_titled "velmo 08" 30) || fail "hangup: no main window"
grep -q "^window velmo 08 $smallest fullscreen" "$out/desktop_hangup.trace" ||
    fail "hangup: the main window is not full screen at $smallest"
wait_mode "$smallest" 10 || fail "hangup: the display did not change to $smallest"
kill -HUP "$pid"
wait_exit "$pid" 30 || fail "hangup: SIGHUP did not end the program within 30 s"
now=$(current_mode)
[ "$now" = "$desktop" ] || fail "hangup: the desktop was left at $now, not its $desktop"
[ "$status" -eq 0 ] || fail "hangup: exit status $status, as SIGTERM ends it: 0"
echo "desktop modes: ok (smallest $smallest, desktop $desktop)"
