#!/usr/bin/env bash
# The program copied to a folder without data/ (and started there) says so once on standard
# error and in one box, opens no other window, and ends with a failure status: once the box,
# titled "error", is closed where it can be shown; at once where it cannot, its text then on
# standard error as "[error] text". Each way is taken on every machine: the box is shown with a
# font of the suite's own added to the display's, and cannot be shown with the display's fonts
# cut to its built-in ones (none fits the box) or with no display at all.
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

# Whether the program of case $case has ended or shows a box titled "error" (its id then in
# $box); fails the script when the start-up window opened.
ended_or_boxed() {
    running "$pid" || return 0
    [ -n "$(find_windows vek)" ] && fail "$case: the start-up window opened"
    box=$(find_windows error | head -n 1)
    [ -n "$box" ]
}

# Runs the copy in case $1 with the environment changes $2... (as env takes them), closes the
# first box titled "error" half a second after it shows, and checks what was said; sets $boxes
# to the boxes seen and $log to the program's output.
run_alone() {
    local case=$1 box=
    shift
    log="$out/no_data_$case.log"
    (cd "$alone" && exec env "$@" ./velmo08) >"$log" 2>&1 &
    pid=$!
    boxes=0
    wait_for 30 ended_or_boxed
    if [ -n "$box" ]; then
        sleep 0.5
        boxes=$(find_windows error | wc -l)
        close_window "$box"
    fi
    wait_exit "$pid" 10 || fail "$case: the program did not end within 10 s"
    [ "$status" -ne 0 ] || fail "$case: exit status 0 without data"
    [ "$(grep -c "no data folder" "$log")" -eq 1 ] || fail "$case: not said once on standard error"
}

# The box cannot be shown: its text goes to standard error, once, and nothing waits for a click.
not_shown() {
    run_alone "$@"
    [ "$boxes" -eq 0 ] || fail "$1: a box was shown"
    [ "$(grep -c '^\[error\] The data folder was not found!' "$log")" -eq 1 ] ||
        fail "$1: the box's text was not on standard error once"
}

fonts=$(xwindows font-path) || fail "no font path"
xwindows font-path built-ins || fail "the font path could not be cut to the built-in fonts"
not_shown no_fonts
not_shown no_display -u DISPLAY -u WAYLAND_DISPLAY

# A font the box can use (any scalable one matches), in a folder the X server reads.
box_fonts="$out/no_data_fonts"
mkdir -p "$box_fonts"
ln -sf /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$box_fonts/"
cat >"$box_fonts/fonts.dir" <<FONTS
2
DejaVuSans.ttf -misc-dejavu sans-medium-r-normal--0-0-0-0-p-0-iso10646-1
DejaVuSans.ttf -misc-dejavu sans-medium-r-normal--0-0-0-0-p-0-iso8859-1
FONTS
xwindows font-path "$fonts,$box_fonts" || fail "the box's font could not be added"
run_alone shown
[ "$boxes" -eq 1 ] || fail "shown: $boxes boxes instead of one"
grep -q '^\[error\]' "$log" && fail "shown: the box's text went to standard error as well"
xwindows font-path "$fonts" # as it was, for a display the script did not start
echo "no data: ok"
