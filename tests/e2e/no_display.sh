#!/usr/bin/env bash
# Without any display (no DISPLAY, no WAYLAND_DISPLAY, no driver asked for) the program ends
# promptly with status 1 and says on standard error why no window opened.
set -u
exe=$1
out=$2
. "$(dirname "$0")/lib.bash"
mkdir -p "$out"
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$exe" >"$out/no_display.log" 2>&1 &
pid=$!
wait_exit "$pid" 20 || fail "no display: the program did not end within 20 s"
[ "$status" -eq 1 ] || fail "no display: exit status $status, not 1"
grep -q "cannot open a window" "$out/no_display.log" || fail "no display: no message saying why"
echo "no display: ok"
