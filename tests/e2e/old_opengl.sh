#!/usr/bin/env bash
# On a system whose OpenGL is older than 3.3 (Mesa told to offer 3.0, as an old GPU or a
# virtual machine does), "start" ends the program without loading: one box titled "error" and
# one line on standard error say that the graphics device could not be created, with the
# OpenGL version needed and the one found, and the exit status is 1.
set -u
exe=$1
out=$2
. "$(dirname "$0")/lib.bash"
. "$(dirname "$0")/desktop.bash"
in_xvfb "$@"
mkdir -p "$out"
log="$out/old_opengl.log"
said="velmo 08: the graphics device could not be created: OpenGL 3.3 (core profile) is needed;"
said+=" the system offers OpenGL 3.0 "

MESA_GL_VERSION_OVERRIDE=3.0 VELMO_PORT_TRACE="$out/old_opengl.trace" "$exe" >"$log" 2>&1 &
pid=$!
dialog=$(wait_titled "vek" 30) || fail "no start-up window"
sleep 0.5
press_key "$dialog" Return || fail "Return could not be pressed"
boxes=0
deadline=$((${EPOCHREALTIME/./} + 30000000))
while [ "${EPOCHREALTIME/./}" -lt "$deadline" ] && running "$pid"; do
    box=$(find_windows error | head -n 1)
    if [ -n "$box" ]; then
        sleep 0.5
        boxes=$(find_windows error | wc -l)
        close_window "$box"
        break
    fi
    sleep 0.1
done
wait_exit "$pid" 10 || fail "the program did not end after its box"
[ "$status" -eq 1 ] || fail "exit status $status, not 1"
[ "$boxes" -eq 1 ] || fail "$boxes boxes titled error instead of one"
[ "$(grep -c . "$log")" -eq 1 ] && [ "$(grep -cF "$said" "$log")" -eq 1 ] ||
    fail "standard error did not say once why the device could not be created: $(cat "$log")"
grep -q "^present" "$out/old_opengl.trace" && fail "a frame was presented"
echo "old OpenGL: ok ($(sed 's/.*; //' "$log"))"
