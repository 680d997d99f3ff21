#!/usr/bin/env bash
# End to end on Windows (under Wine): K420_Setting.exe from the program folder the build lays out,
# started on the card folder R:\ (a folder of the build mapped as a removable drive), its window
# found on the test run's X server, one control changed and Save clicked with xdotool as a user
# clicks; setup.cfg must then hold the bytes the Linux build writes for the same change. Pictures
# of the window are kept in SHOTS.
#   windows_e2e_save.sh WINE_RUN DISPLAY_FILE PROGRAM FIXTURE CARD_DIR SHOTS
set -euo pipefail
wine_run=$1 display_file=$2 program=$3 fixture=$4 card=$5 shots=$6

read -r number xvfb <"$display_file"
kill -0 "$xvfb"
export DISPLAY=":$number"
mkdir -p "$shots"
find "$card" -mindepth 1 -delete

# The camera's record, and the record as it must be after the change.
"$wine_run" "$fixture" 'R:\'
cmp -s "$card/setup.cfg" "$card/expected.cfg" && { echo "the fixture wrote no change" >&2; exit 1; }

"$wine_run" "$program" 'R:\' &
app=$!
trap 'kill $app 2>/dev/null || true' EXIT

window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Dash cam setting$' | head -1)
if [ -z "$window" ]; then
    import -window root "$shots/k420_no_window.png" || true
    echo "no window titled \"Dash cam setting\" appeared" >&2
    exit 1
fi
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "window $window at $X,$Y, ${WIDTH}x$HEIGHT"
if [ "$WIDTH" != 622 ] || [ "$HEIGHT" != 587 ]; then
    echo "the window is ${WIDTH}x$HEIGHT, not 622x587" >&2
    exit 1
fi
sleep 1
import -window root -crop "622x587+$X+$Y" "$shots/k420_opened.png"

# Common tab, voice recording: the "Disabled" radio (tab at 11,85; radio at 25,257, 27 high).
xdotool mousemove $((X + 11 + 25 + 8)) $((Y + 85 + 257 + 13)) click 1
sleep 1
import -window root -crop "622x587+$X+$Y" "$shots/k420_changed.png"
# Save (514, 546, 614, 575).
xdotool mousemove $((X + 564)) $((Y + 560)) click 1

for _ in $(seq 300); do
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$app" 2>/dev/null; then
    import -window root "$shots/k420_still_open.png" || true
    echo "the program did not end after Save" >&2
    exit 1
fi
trap - EXIT
wait "$app"

if ! cmp "$card/setup.cfg" "$card/expected.cfg"; then
    cmp -l "$card/setup.cfg" "$card/expected.cfg" | head -20 >&2
    exit 1
fi
echo "setup.cfg as expected; pictures in $shots"
