#!/usr/bin/env bash
# A quit asked for while the production loads (Esc, closing the window, SIGTERM, SIGINT) ends
# the program with status 0 within a second or so, before its run begins. Without a shader
# cache loading takes several seconds, so the quit comes during it.
set -u
exe=$1
out=$2
. "$(dirname "$0")/lib.bash"
in_xvfb "$@"
mkdir -p "$out"

for way in escape close sigterm sigint; do
    trace="$out/quit_loading_$way.trace"
    rm -f "$trace"
    # A program started in the background of a script ignores SIGINT unless it is given back.
    MESA_SHADER_CACHE_DISABLE=true VELMO_PORT_TRACE="$trace" \
        env --default-signal=INT "$exe" >"$out/quit_loading_$way.log" 2>&1 &
    pid=$!
    press_start "$way"
    # The loading picture is the first present; the run's frames follow loading.
    for _ in $(seq 200); do
        grep -q "^present" "$trace" 2>/dev/null && break
        sleep 0.05
    done
    grep -q "^present" "$trace" 2>/dev/null || fail "$way: no loading picture"
    sleep 0.3
    asked=${EPOCHREALTIME/./}
    case $way in
    escape) press_key "$window" Escape ;;
    close) close_window "$window" ;;
    sigterm) kill -TERM "$pid" ;;
    sigint) kill -INT "$pid" ;;
    esac
    wait_exit "$pid" 3 || fail "$way: the program did not end within 3 s"
    ms=$(((${EPOCHREALTIME/./} - asked) / 1000))
    [ "$status" -eq 0 ] || fail "$way: exit status $status"
    grep -q "^position" "$trace" && fail "$way: the run began; the quit came after loading"
    echo "$way: ended $ms ms after the quit was asked for"
done
echo "quit while loading: ok"
