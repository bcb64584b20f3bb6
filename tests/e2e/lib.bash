# Shared steps of the end-to-end scripts. They run inside Xvfb (see in_xvfb) with the build
# tree's root as working directory, so the program finds data/ there.

# Re-runs the calling script inside a fresh Xvfb display when none is set up yet (set
# VELMO_E2E_DISPLAY=1 to run on the display in $DISPLAY instead). The server keeps its state
# (font path, keyboard) while no client is connected, as a desktop's does. With VELMO_E2E_WM
# set (to e.g. openbox) a window manager runs on that fresh display for the whole script.
in_xvfb() {
    if [ -z "${VELMO_E2E_DISPLAY:-}" ]; then
        export VELMO_E2E_DISPLAY=xvfb
        exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$@"
    fi
    [ "$VELMO_E2E_DISPLAY" = xvfb ] && start_wm
    keys_checked=1
}

# Starts the window manager VELMO_E2E_WM names, if any, on $DISPLAY and waits until it runs.
# It ends with the script.
start_wm() {
    [ -n "${VELMO_E2E_WM:-}" ] || return 0
    "$VELMO_E2E_WM" >/dev/null 2>&1 &
    for _ in $(seq 100); do
        xwindows wm && return 0
        sleep 0.1
    done
    fail "the window manager $VELMO_E2E_WM did not start"
}

# The test helper for X (tests/e2e/xwindows.c), each request bounded in time.
xwindows() {
    timeout -k 1 10 "$VELMO_XWINDOWS" "$@"
}

# Whether child process $1 is still running (not ended, nor a zombie waiting to be reaped).
running() {
    kill -0 "$1" 2>/dev/null && [ "$(cut -d' ' -f3 "/proc/$1/stat" 2>/dev/null)" != Z ]
}

# Reports a failure, with what became of the program last started ($pid) and the end of every
# program log of this run, then ends the script (which ends the programs it started).
fail() {
    echo "FAIL: $*" >&2
    if [ -n "${pid:-}" ]; then
        if running "$pid"; then
            echo "the program was still running (no window of its own showed)" >&2
        else
            wait "$pid"
            echo "the program had ended with status $?" >&2
        fi
    fi
    for log in "$out"/*.log; do
        [ -f "$log" ] && { echo "--- $log" >&2; grep -v '^ALSA' "$log" | tail -n 5 >&2; }
    done
    exit 1
}

# Every program a script starts ends with it, on every path. A key or button left held in
# the server on a display the script drove fails the script: the next program on that display
# would see it pressed.
end_started() {
    local job held
    held=$([ -n "${keys_checked:-}" ] && xwindows held)
    for job in $(jobs -p); do
        kill -9 "$job" 2>/dev/null
    done
    if [ -n "$held" ]; then
        echo "FAIL: left held at the end:" $held >&2
        exit 1
    fi
}
trap end_started EXIT

# Prints the viewable windows titled $1, one id a line.
find_windows() {
    xwindows find "$1"
}

# Waits up to $2 seconds for a window titled $1 and prints its id.
wait_window() {
    local name=$1 seconds=$2 id
    for _ in $(seq $((seconds * 10))); do
        id=$(find_windows "$name" | head -n 1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Sends window $1 a press of key $2 (an X keysym name: Escape, Return) and its release, as
# its own events: nothing is left held, even when the window goes away on the press. Fails
# when the press could not be sent.
press_key() {
    xwindows key "$1" "$2"
}

# Asks window $1 to close, as a window manager's close button does.
close_window() {
    xwindows close "$1"
}

# Starts the run from the start-up window of the program just started: waits for the window,
# presses Return ("start" has the focus) and waits for the main window; sets $dialog and
# $window. $1, when given, names the case in a failure.
press_start() {
    local case=${1:+$1: }
    dialog=$(wait_window "vek" 20) || fail "${case}no start-up window"
    sleep 0.5
    press_key "$dialog" Return
    window=$(wait_window "velmo 08" 20) || fail "${case}no main window"
}

# Waits up to $2 seconds for the run whose port trace is $1 to begin after loading: its second
# present, the first being the loading picture's.
wait_run() {
    for _ in $(seq $(($2 * 10))); do
        [ "$(grep -c "^present" "$1" 2>/dev/null)" -ge 2 ] && return 0
        sleep 0.1
    done
    return 1
}

# Waits up to $2 seconds for child process $1 to end and sets $status; fails on time-out.
wait_exit() {
    local pid=$1 deadline=$((${EPOCHREALTIME/./} + $2 * 1000000))
    while [ "${EPOCHREALTIME/./}" -lt "$deadline" ]; do
        if ! running "$pid"; then
            wait "$pid"
            status=$?
            return 0
        fi
        sleep 0.05
    done
    kill -9 "$pid" 2>/dev/null
    return 1
}

# Saves a picture of the screen, or of window $2, to $1; gives up after 10 s (a capture of a
# window that went away would wait for ever).
screenshot() {
    local file=$1 window=${2:-root}
    timeout -k 1 10 import -window "$window" "$file" 2>/dev/null ||
        { [ "$window" = root ] && timeout -k 1 10 xwd -root -silent | convert xwd:- "$file"; }
}

