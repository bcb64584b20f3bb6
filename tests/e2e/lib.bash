# Shared steps of the end-to-end scripts. They run on an Xvfb display of their own (see in_xvfb)
# with the build tree's root as working directory, so the program finds data/ there. Every wait
# is bounded in seconds of wall time (see wait_for).

# Runs the rest of the calling script on a fresh Xvfb display when none is set up yet (set
# VELMO_E2E_DISPLAY=1 to run on the display in $DISPLAY instead); scripts it starts use the same
# display. The server keeps its state (font path, keyboard) while no client is connected, as a
# desktop's does. With VELMO_E2E_WM set (to e.g. openbox) a window manager runs on that fresh
# display for the whole script.
in_xvfb() {
    if [ -z "${VELMO_E2E_DISPLAY:-}" ]; then
        export VELMO_E2E_DISPLAY=xvfb
        start_xvfb -noreset
        start_wm
    fi
    keys_checked=1
}

# Starts an Xvfb server with the extra arguments $@, sets $server to it and points $DISPLAY at
# it. The server picks a free display number itself, so that displays started side by side
# (by other scripts, or other users) never take the same one. It ends with the script.
start_xvfb() {
    local number
    number=$(mktemp) || fail "no file for Xvfb's display number"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 "$@" 3>"$number" >/dev/null 2>&1 &
    server=$!
    wait_for 30 test -s "$number" || fail "Xvfb did not start within 30 s"
    export DISPLAY=:$(head -n 1 "$number")
    rm -f "$number"
}

# Starts the window manager VELMO_E2E_WM names, if any, on $DISPLAY and waits until it runs.
# It ends with the script.
start_wm() {
    [ -n "${VELMO_E2E_WM:-}" ] || return 0
    "$VELMO_E2E_WM" >/dev/null 2>&1 &
    wait_for 30 xwindows wm || fail "the window manager $VELMO_E2E_WM did not start within 30 s"
}

# The wall clock in microseconds.
now_us() {
    echo "${EPOCHREALTIME/./}"
}

# Tries command $2... every tenth of a second until it succeeds or $1 seconds (a whole number)
# of wall time have passed; fails then. The last try begins after the time is up, so a script
# woken late (a busy machine) still sees a condition that holds by then.
wait_for() {
    local deadline=$((${EPOCHREALTIME/./} + $1 * 1000000)) late
    shift
    while :; do
        late=$((${EPOCHREALTIME/./} >= deadline))
        "$@" && return 0
        [ "$late" -eq 0 ] || return 1
        sleep 0.1
    done
}

# The test helper for X (tests/e2e/xwindows.c), each request bounded in time.
xwindows() {
    timeout -k 1 10 "$VELMO_XWINDOWS" "$@"
}

# Whether child process $1 is still running (not ended, nor a zombie waiting to be reaped).
running() {
    local stat
    kill -0 "$1" 2>/dev/null && stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    stat=${stat##*) } # the state follows the name, which may hold spaces and parentheses
    [ "${stat%% *}" != Z ]
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

# Whether a window titled $1 shows; sets $found to its id.
window_shows() {
    found=$(find_windows "$1" | head -n 1)
    [ -n "$found" ]
}

# Waits up to $2 seconds for a window titled $1 and prints its id.
wait_window() {
    local found
    wait_for "$2" window_shows "$1" && echo "$found"
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
    dialog=$(wait_window "vek" 30) || fail "${case}no start-up window within 30 s"
    sleep 0.5
    press_key "$dialog" Return
    window=$(wait_window "velmo 08" 30) || fail "${case}no main window within 30 s"
}

# Prints the numbers N of the whole lines "$2 N" of port trace $1, one a line. A line of any
# other shape (cut short, or run into by another) is left out.
trace_numbers() {
    sed -nE "s/^$2 ([0-9]+)\$/\1/p" "$1" 2>/dev/null
}

# How many frames the program whose port trace is $1 has presented.
presents() {
    trace_numbers "$1" present | wc -l
}

# Whether the program whose port trace is $1 has presented at least $2 frames.
presented() {
    [ "$(presents "$1")" -ge "$2" ]
}

# Waits up to $2 seconds for the run whose port trace is $1 to begin after loading: its second
# present, the first being the loading picture's.
wait_run() {
    wait_for "$2" presented "$1" 2
}

# Whether child process $1 has ended; then reaps it and sets $status.
ended() {
    running "$1" && return 1
    wait "$1"
    status=$?
}

# Waits up to $2 seconds for child process $1 to end and sets $status; on time-out kills it and
# fails.
wait_exit() {
    wait_for "$2" ended "$1" && return 0
    kill -9 "$1" 2>/dev/null
    return 1
}

# Saves a picture of the screen, or of window $2, to $1; gives up after 10 s (a capture of a
# window that went away would wait for ever).
screenshot() {
    local file=$1 window=${2:-root}
    timeout -k 1 10 import -window "$window" "$file" 2>/dev/null ||
        { [ "$window" = root ] && timeout -k 1 10 xwd -root -silent | convert xwd:- "$file"; }
}

