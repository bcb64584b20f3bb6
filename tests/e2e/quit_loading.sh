#!/usr/bin/env bash
# A quit asked for while the production loads (Esc, closing the window, SIGTERM, SIGINT) ends
# the program with status 0 once the loading step in progress is done, before its run begins.
# Without a shader cache loading takes several seconds, so the quit comes during it. The
# program's event checks are timed (poll_times.c): it looks for a quit between its loading
# steps, so the time between two checks is a step's. A whole loading, timed first on this
# machine as busy as it is now, gives the longest step; after the quit, the program may take
# the step in progress and then no more than that again to end. A loading that goes on after
# the quit takes nearly the whole loading.
set -u
exe=$1
out=$2
. "$(dirname "$0")/lib.bash"
in_xvfb "$@"
mkdir -p "$out"

# Starts the program for run $1 without a shader cache, its port trace in $trace and its event
# checks timed in $polls, and starts the run from the start-up window.
start_loading() {
    trace="$out/quit_loading_$1.trace"
    polls="$out/quit_loading_$1.polls"
    rm -f "$trace" "$polls"
    # A program started in the background of a script ignores SIGINT unless it is given back.
    MESA_SHADER_CACHE_DISABLE=true VELMO_PORT_TRACE="$trace" VELMO_E2E_POLLS="$polls" \
        LD_PRELOAD="$VELMO_POLL_TIMES" env --default-signal=INT "$exe" >"$out/quit_loading_$1.log" 2>&1 &
    pid=$!
    press_start "$1"
    wait_for 60 presented "$trace" 1 || fail "$1: no loading picture within 60 s"
}

# A whole loading: from the loading picture to the first frame of the run.
start_loading timing
wait_run "$trace" 300 || fail "timing: the run did not begin within 300 s"
press_key "$window" Escape
wait_exit "$pid" 30 || fail "timing: Esc did not end the program within 30 s"
read -r longest whole < <(awk '$1 == "swap" { ++swaps }
    swaps >= 1 && seen && $2 - last > longest { longest = $2 - last }
    swaps >= 1 { last = $2; seen = 1 }
    swaps == 1 && $1 == "swap" { first = $2 }
    swaps == 2 { print longest + 0, $2 - first; exit }' "$polls")
[ -n "${whole:-}" ] || fail "timing: the loading's event checks were not timed"
echo "loading took $whole ms, its longest step $longest ms"
# Loading that looks for a quit only at its end cannot stop early.
[ $((longest * 2)) -lt "$whole" ] ||
    fail "timing: no check for a quit in the loading's first half ($longest of $whole ms)"

for way in escape close sigterm sigint; do
    start_loading "$way"
    sleep 0.3
    case $way in
    escape) press_key "$window" Escape ;;
    close) close_window "$window" ;;
    sigterm) kill -TERM "$pid" ;;
    sigint) kill -INT "$pid" ;;
    esac
    asked=$(($(now_us) / 1000)) # the quit is with the program
    wait_exit "$pid" 300 || fail "$way: the program did not end within 300 s"
    # When the program itself ended, not when this script saw it; and its first check after
    # the quit, which ends the step in progress.
    end=$(sed -n 's/^end \([0-9]*\)$/\1/p' "$polls")
    end=${end:-$(($(now_us) / 1000))}
    seen=$(awk -v asked="$asked" '$1 == "poll" && $2 >= asked { print $2; exit }' "$polls")
    step=$((${seen:-$end} > asked ? ${seen:-$end} - asked : 0))
    ms=$((end > asked ? end - asked : 0))
    limit=$((step + longest + 1000))
    [ "$status" -eq 0 ] || fail "$way: exit status $status"
    [ "$(presents "$trace")" -eq 1 ] || fail "$way: a frame followed the loading picture"
    [ -z "$(trace_numbers "$trace" position)" ] || fail "$way: the run began; the quit came after loading"
    [ "$ms" -le "$limit" ] ||
        fail "$way: the program ended $ms ms after the quit, the step in progress $step ms (limit $limit ms)"
    echo "$way: ended $ms ms after the quit was asked for, the step in progress $step ms (limit $limit ms)"
done
echo "quit while loading: ok"
