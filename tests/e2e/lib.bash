# Shared steps of the end-to-end scripts. They run inside Xvfb (see in_xvfb) with the build
# tree's root as working directory, so the program finds data/ there.

# Re-runs the calling script inside a fresh Xvfb display when none is set up yet.
in_xvfb() {
    if [ -z "${VELMO_E2E_DISPLAY:-}" ]; then
        export VELMO_E2E_DISPLAY=1
        exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
    fi
}

# Reports a failure with the end of every program log of this run, then ends the script.
fail() {
    echo "FAIL: $*" >&2
    for log in "$out"/*.log; do
        [ -f "$log" ] && { echo "--- $log" >&2; grep -v '^ALSA' "$log" | tail -n 5 >&2; }
    done
    exit 1
}

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
    local pid=$1 seconds=$2
    for _ in $(seq $((seconds * 100))); do
        if ! kill -0 "$pid" 2>/dev/null || [ "$(ps -o stat= -p "$pid" 2>/dev/null | cut -c1)" = Z ]; then
            wait "$pid"
            status=$?
            return 0
        fi
        sleep 0.01
    done
    kill -9 "$pid" 2>/dev/null
    return 1
}

screenshot() {
    import -window root "$1" 2>/dev/null || xwd -root -silent | convert xwd:- "$1"
}
