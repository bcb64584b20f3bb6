#!/usr/bin/env bash
# The program copied to a folder without data/ (and started there) says so once on standard
# error and in one box, opens no other window, and ends with a failure status (at once where
# the box cannot be shown and its text goes to standard error, else once the box is closed).
set -u
exe=$1
out=$2
. "$(dirname "$0")/lib.bash"
in_xvfb "$@"
mkdir -p "$out"

alone="$out/no_data"
rm -rf "$alone"
mkdir -p "$alone"
cp "$exe" "$alone/velmo08"
log="$out/no_data.log"
(cd "$alone" && exec ./velmo08) >"$log" 2>&1 &
pid=$!
boxes=0
for _ in $(seq 200); do
    running "$pid" || break
    xdotool search --onlyvisible --name '^vek$' >/dev/null && fail "the start-up window opened"
    box=$(xdotool search --onlyvisible --name '^error$' 2>/dev/null | head -n 1)
    if [ -n "$box" ]; then
        sleep 0.5
        boxes=$(xdotool search --onlyvisible --name '^error$' | wc -l)
        "$VELMO_CLOSE_WINDOW" "$box"
        break
    fi
    sleep 0.1
done
wait_exit "$pid" 5 || fail "the program did not end"
[ "$status" -ne 0 ] || fail "exit status 0 without data"
# A box that could not be shown went to standard error as "[caption] text".
boxes=$((boxes + $(grep -c '^\[error\]' "$log")))
[ "$boxes" -eq 1 ] || fail "$boxes boxes instead of one"
[ "$(grep -c "no data folder" "$log")" -eq 1 ] || fail "not said once on standard error"
echo "no data: ok"
