#!/usr/bin/env bash
# The end-to-end scripts end what they started on every path: given a stand-in program that
# never shows a window, the start-up script fails, says the program was still running, and
# leaves no stand-in behind.
set -u
out=$2/script_cleanup
mkdir -p "$out"
here=$(dirname "$0")

cat >"$out/stand_in.sh" <<STAND_IN
#!/usr/bin/env bash
echo \$\$ >"$out/stand_in.pid"
exec sleep 600
STAND_IN
chmod +x "$out/stand_in.sh"
rm -f "$out/stand_in.pid"

bash "$here/startup_window.sh" "$out/stand_in.sh" "$out/run" >"$out/script.log" 2>&1
result=$?
cat "$out/script.log"
[ "$result" -ne 0 ] || { echo "FAIL: the script passed without a window"; exit 1; }
grep -q "no start-up window" "$out/script.log" || { echo "FAIL: no reason given"; exit 1; }
grep -q "still running" "$out/script.log" || { echo "FAIL: the program's state not told"; exit 1; }
[ -s "$out/stand_in.pid" ] || { echo "FAIL: the stand-in never started"; exit 1; }
. "$here/lib.bash"
stand_in=$(cat "$out/stand_in.pid")
gone() { ! running "$1"; }
if ! wait_for 10 gone "$stand_in"; then # a killed stand-in may take a moment to be reaped
    kill -9 "$stand_in"
    echo "FAIL: the stand-in program was left running"
    exit 1
fi
echo "script cleanup: ok"
