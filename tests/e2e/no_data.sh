#!/usr/bin/env bash
# The program copied to a folder without data/ (and started there) says so in one box and on
# standard error, opens no other window, and ends with a failure status once the box is closed.
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
(cd "$alone" && exec ./velmo08) >"$out/no_data.log" 2>&1 &
pid=$!
box=$(wait_window "error" 20) || fail "no box saying that data/ is missing"
sleep 0.5
[ "$(xdotool search --onlyvisible --name '^error$' | wc -l)" -eq 1 ] || fail "more than one box"
xdotool search --onlyvisible --name '^vek$' >/dev/null && fail "the start-up window opened"
"$VELMO_CLOSE_WINDOW" "$box"
wait_exit "$pid" 5 || fail "the program did not end once the box was closed"
[ "$status" -ne 0 ] || fail "exit status 0 without data"
grep -q "no data folder" "$out/no_data.log" || fail "nothing said on standard error"
[ "$(grep -c "no data folder" "$out/no_data.log")" -eq 1 ] || fail "said more than once"
echo "no data: ok"
