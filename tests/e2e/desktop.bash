# Steps for the end-to-end scripts that meet the program as on a user's desktop: one that offers
# several display modes, as a real one does (Xvfb offers one): an Xorg server with the dummy
# driver (xorg-dummy.conf); and waits bounded in seconds of wall time. Source it after lib.bash.

# Re-runs the calling script with $DISPLAY on a fresh Xorg dummy server, unless a display was
# set up already (VELMO_E2E_DISPLAY, as in_xvfb takes it), and ends with the script's status
# once the server has stopped. Where the server cannot start (Xorg refuses to run for this
# user, or is not installed) says why in one line and ends with status 77, the suite's skip.
in_xorg_dummy() {
    if [ -n "${VELMO_E2E_DISPLAY:-}" ]; then
        keys_checked=1
        return 0
    fi
    local name=${0##*/} log="$out/${0##*/}.xorg.log" number="$out/${0##*/}.xorg.display"
    name=${name%.sh}
    mkdir -p "$out"
    command -v Xorg >/dev/null ||
        { echo "${name//_/ }: skipped (no Xorg: install xserver-xorg-video-dummy)"; exit 77; }
    rm -f "$number"
    mkdir -p "$out/xorg-none"
    # -displayfd: the server picks a free display and writes its number once it accepts clients.
    Xorg -displayfd 3 -config "$(cd "$(dirname "$0")" && pwd)/xorg-dummy.conf" \
        -configdir "$out/xorg-none" -noreset -nolisten tcp -novtswitch -sharevts \
        -logfile "$log" 3>"$number" >"$log.out" 2>&1 &
    local server=$! display="" deadline=$((${EPOCHREALTIME/./} + 20000000))
    while [ "${EPOCHREALTIME/./}" -lt "$deadline" ] && running "$server"; do
        display=$(head -n 1 "$number" 2>/dev/null)
        [ -n "$display" ] && break
        sleep 0.1
    done
    if [ -z "$display" ]; then
        local why
        why=$(grep -A1 'Fatal server error' "$log.out" 2>/dev/null | tail -n 1 | sed 's/^(EE) //')
        [ -n "$why" ] ||
            why=$(grep -m1 -E 'Only console|not permitted|Permission denied' "$log.out" 2>/dev/null)
        kill -9 "$server" 2>/dev/null
        echo "${name//_/ }: skipped (the Xorg dummy server did not start:" \
            "${why:-no display within 20 s})"
        exit 77
    fi
    VELMO_E2E_DISPLAY=xorg-dummy DISPLAY=":$display" bash "$0" "$@"
    local result=$?
    kill -TERM "$server" 2>/dev/null
    wait_exit "$server" 10 || echo "the Xorg server did not stop within 10 s; killed" >&2
    exit "$result"
}

# Waits up to $2 seconds of wall time for a window titled $1 and prints its id.
wait_titled() {
    local deadline=$((${EPOCHREALTIME/./} + $2 * 1000000)) id
    while [ "${EPOCHREALTIME/./}" -lt "$deadline" ]; do
        id=$(find_windows "$1" | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

# The screen's current mode, as WIDTHxHEIGHT.
current_mode() {
    timeout -k 1 10 xrandr --current | sed -n 's/.* current \([0-9]*\) x \([0-9]*\),.*/\1x\2/p'
}

# The modes the display offers, WIDTHxHEIGHT, one a line, each once, in Direct3D's order
# (ascending width, then height).
display_modes() {
    timeout -k 1 10 xrandr --current | sed -n 's/^ \+\([0-9]\+\)x\([0-9]\+\) .*/\1 \2/p' |
        sort -n -k1,1 -k2,2 -u | tr ' ' x
}

# Waits up to $2 seconds of wall time for the screen's mode to be $1.
wait_mode() {
    local deadline=$((${EPOCHREALTIME/./} + $2 * 1000000))
    while [ "${EPOCHREALTIME/./}" -lt "$deadline" ]; do
        [ "$(current_mode)" = "$1" ] && return 0
        sleep 0.1
    done
    return 1
}
