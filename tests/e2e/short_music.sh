#!/usr/bin/env bash
# Music shorter than the run (the mp3 cut to its first 3 seconds): after the stream has played
# to its end the demo time goes on with the wall clock, so the picture moves on from the
# black of t = 0 into the intro; Esc still ends the run with status 0.
set -u
exe=$1
out=$2
. "$(dirname "$0")/lib.bash"
in_xvfb "$@"
mkdir -p "$out"

music="corvena (short version) 192kbps.mp3"
[ -f "data/$music" ] || { echo "short music: skipped (no music in data/)"; exit 0; }
run="$out/short_music"
rm -rf "$run"
mkdir -p "$run/data"
for file in data/*; do
    ln -s "$PWD/$file" "$run/data/"
done
rm "$run/data/$music"
head -c $((192000 / 8 * 3)) "data/$music" >"$run/data/$music" # 3 s at 192 kbit/s

(cd "$run" && VELMO_PORT_TRACE="$out/short_music.trace" exec "$exe") >"$out/short_music.log" 2>&1 &
pid=$!
press_start
music_started() { [ -n "$(trace_numbers "$out/short_music.trace" position)" ]; }
wait_for 120 music_started || fail "the music did not start within 120 s"
# The stream ends 3 s after it starts; 8 s after, the intro is well under way.
sleep 9
last=$(trace_numbers "$out/short_music.trace" position | tail -n 1)
[ "${last:-0}" -lt 4000 ] || fail "the cut stream played for $last ms"
screenshot "$out/short_music.png"
mean=$(convert "$out/short_music.png" -colorspace gray -format "%[fx:int(mean*1000)]" info:)
[ "$mean" -gt 5 ] || fail "the picture is black after the music ended (mean $mean/1000)"
press_key "$window" Escape
wait_exit "$pid" 10 || fail "Esc did not end the program within 10 s"
[ "$status" -eq 0 ] || fail "exit status $status"
echo "short music: ok"
