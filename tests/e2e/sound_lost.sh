#!/usr/bin/env bash
# The audio device lost mid-run and back later: SDL's disk driver writes the sound to a file,
# and a file size limit makes its writes fail after about 12 s of sound, which SDL reports as
# the device lost. The program goes on, its music position never going back, opens the device
# again (the file is written anew once it is gone), and ends with status 0 on Esc.
set -u
exe=$1
out=$2
. "$(dirname "$0")/lib.bash"
in_xvfb "$@"
mkdir -p "$out"

[ -f "data/corvena (short version) 192kbps.mp3" ] || { echo "sound lost: skipped (no music)"; exit 0; }
sound="$out/sound_lost.raw"
rm -f "$sound" "$out/sound_lost.trace"
# Writes past the limit fail (EFBIG) instead of ending the program: SIGXFSZ is ignored.
(
    trap '' XFSZ
    ulimit -f 2048
    SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$sound" VELMO_PORT_TRACE="$out/sound_lost.trace" \
        exec "$exe"
) >"$out/sound_lost.log" 2>&1 &
pid=$!
press_start

size() { stat -c %s "$sound" 2>/dev/null || echo 0; }
at_least() { [ "$(size)" -ge "$1" ]; }
wait_for 180 at_least $((2048 * 1024)) || fail "the sound file did not reach its limit within 180 s"
sleep 0.5
rm -f "$sound"
wait_for 10 at_least 1 || fail "the audio device was not opened again within 10 s"
sleep 1
running "$pid" || fail "the program ended"
trace_numbers "$out/sound_lost.trace" position |
    awk 'NR > 1 && $1 < last { print "back from " last " to " $1; bad = 1 } { last = $1 }
         END { exit bad }' >&2 || fail "the music position went back"
press_key "$window" Escape
wait_exit "$pid" 10 || fail "Esc did not end the program within 10 s"
[ "$status" -eq 0 ] || fail "exit status $status"
echo "sound lost: ok"
