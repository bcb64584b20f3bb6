# Shared steps of the end-to-end scripts. They run inside Xvfb (see in_xvfb) with the build
# tree's root as working directory, so the program finds data/ there.

# Re-runs the calling script inside a fresh Xvfb display when none is set up yet.
in_xvfb() {
    if [ -z "${VELMO_E2E_DISPLAY:-}" ]; then
        export VELMO_E2E_DISPLAY=1
        exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
    fi
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

# Every program a script starts ends with it, on every path.
end_started() {
    local job
    for job in $(jobs -p); do
        kill -9 "$job" 2>/dev/null
    done
}
trap end_started EXIT

# Waits up to $2 seconds for a window named $1 and prints its id.
wait_window() {
    local name=$1 seconds=$2 id
    for _ in $(seq $((seconds * 10))); do
        id=$(xdotool search --onlyvisible --name "^$name\$" 2>/dev/null | head -n 1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
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

screenshot() {
    import -window root "$1" 2>/dev/null || xwd -root -silent | convert xwd:- "$1"
}

# Presses and releases key $2 (an X keysym name) on window $1.
press_key() {
    xdotool key --window "$1" "$2"
}

# Asks window $1 to close, as a window manager's close button does.
close_window() {
    "$VELMO_CLOSE_WINDOW" "$1"
}
