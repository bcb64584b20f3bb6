#!/usr/bin/env bash
# The program opens its main window, follows the music, and ends with status 0 within a
# second of Esc, or of its window being closed.
set -u
exe=$1
out=$2
. "$(dirname "$0")/lib.bash"
in_xvfb "$@"
mkdir -p "$out"

start_program() {
    VELMO_PORT_TRACE="$out/$1.trace" "$exe" >"$out/$1.log" 2>&1 &
    pid=$!
    press_start "$1"
}

# Waits up to a minute (loading comes first) for run $1's music position to pass $2 ms; sets
# $last to the last position traced.
playing() {
    for _ in $(seq 600); do
        last=$(grep "^position" "$out/$1.trace" | tail -n 1 | cut -d' ' -f2)
        [ "${last:-0}" -gt "$2" ] && return 0
        sleep 0.1
    done
}

# Esc ends the run.
start_program escape
sleep 2
grep -q "^present" "$out/escape.trace" || fail "no frame was presented"
if [ -f "data/corvena (short version) 192kbps.mp3" ]; then
    playing escape 500
    [ "${last:-0}" -gt 500 ] || fail "the music position did not advance (last: ${last:-none})"
fi
screenshot "$out/main_window.png"
press_key "$window" Escape
wait_exit "$pid" 1 || fail "Esc did not end the program within a second"
[ "$status" -eq 0 ] || fail "Esc: exit status $status"

# Closing the window ends the run.
start_program close
playing close 0
close_window "$window"
wait_exit "$pid" 1 || fail "closing did not end the program within a second"
[ "$status" -eq 0 ] || fail "close: exit status $status"
echo "main window: ok"
