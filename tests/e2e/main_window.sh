#!/usr/bin/env bash
# The program opens its main window, follows the music, and ends with status 0 on Esc, or on its
# window being closed, within a few seconds even on a busy machine (a program that goes on
# playing runs for minutes).
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

# Whether run $1's music position has passed $2 ms; sets $last to the last position traced.
past() {
    last=$(trace_numbers "$out/$1.trace" position | tail -n 1)
    [ "${last:-0}" -gt "$2" ]
}

# Waits up to 90 s (loading comes first) for run $1's music position to pass $2 ms; sets $last
# to the last position traced.
playing() {
    wait_for 90 past "$@"
}

# Waits for the program to end after the quit, and checks how it ended; $1 names the way.
ends() {
    local asked
    asked=$(now_us)
    wait_exit "$pid" 10 || fail "$1: the program did not end within 10 s"
    echo "$1: ended $((($(now_us) - asked) / 1000)) ms after the quit"
    [ "$status" -eq 0 ] || fail "$1: exit status $status"
}

# Esc ends the run.
start_program escape
wait_for 30 presented "$out/escape.trace" 1 || fail "no frame was presented within 30 s"
if [ -f "data/corvena (short version) 192kbps.mp3" ]; then
    playing escape 500
    [ "${last:-0}" -gt 500 ] || fail "the music position did not advance (last: ${last:-none})"
fi
screenshot "$out/main_window.png"
press_key "$window" Escape
ends Esc

# Closing the window ends the run.
start_program close
playing close 0
close_window "$window"
ends closing
echo "main window: ok"
