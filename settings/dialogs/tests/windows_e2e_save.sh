#!/usr/bin/env bash
# End to end on Windows (under Wine), with the program folder the build lays out, on the test
# run's X server, clicked with xdotool as a user clicks:
#  1. K420_Setting.exe from the build (a fixed drive) started on the card folder R:\ (a folder of
#     the build mapped as a removable drive): one control changed, Save; setup.cfg must then hold
#     the bytes the Linux build writes for the same change.
#  2. The program folder copied onto the card and K420_Setting.exe started there without an
#     argument, as a user double-clicks it: it moves with its DLLs into the local
#     application-data folder, the copy opens on the card folder, and Save writes the file.
# Pictures of the windows are kept in SHOTS.
#   windows_e2e_save.sh WINE_RUN DISPLAY_FILE PROGRAM_FOLDER FIXTURE CARD_DIR PREFIX SHOTS
set -euo pipefail
wine_run=$1 display_file=$2 program_folder=$3 fixture=$4 card=$5 prefix=$6 shots=$7

read -r number xvfb <"$display_file"
kill -0 "$xvfb"
export DISPLAY=":$number"
mkdir -p "$shots"
find "$card" -mindepth 1 -delete

app=
trap '[ -n "$app" ] && kill $app 2>/dev/null || true' EXIT

# Waits for the settings window, changes voice recording to "Disabled" on the Common tab and
# clicks Save; pictures NAME_opened.png and NAME_changed.png.
change_and_save() {
    local name=$1 window=
    # xdotool ends with an X error when a window goes away while it walks the window tree: the
    # search is tried again.
    for _ in $(seq 90); do
        window=$(xdotool search --onlyvisible --name '^Dash cam setting$' 2>/dev/null | head -1) ||
            true
        [ -n "$window" ] && break
        sleep 1
    done
    if [ -z "$window" ]; then
        import -window root "$shots/${name}_no_window.png" || true
        echo "$name: no window titled \"Dash cam setting\" appeared" >&2
        return 1
    fi
    eval "$(xdotool getwindowgeometry --shell "$window")"
    echo "$name: window $window at $X,$Y, ${WIDTH}x$HEIGHT"
    if [ "$WIDTH" != 622 ] || [ "$HEIGHT" != 587 ]; then
        echo "$name: the window is ${WIDTH}x$HEIGHT, not 622x587" >&2
        return 1
    fi
    sleep 1
    import -window root -crop "622x587+$X+$Y" "$shots/${name}_opened.png"
    # Common tab, voice recording: the "Disabled" radio (tab at 11,85; radio at 25,257, 27 high).
    xdotool mousemove $((X + 11 + 25 + 8)) $((Y + 85 + 257 + 13)) click 1
    sleep 1
    import -window root -crop "622x587+$X+$Y" "$shots/${name}_changed.png"
    # Save (514, 546, 614, 575).
    xdotool mousemove $((X + 564)) $((Y + 560)) click 1
    for _ in $(seq 300); do
        xdotool search --onlyvisible --name '^Dash cam setting$' >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    import -window root "$shots/${name}_still_open.png" || true
    echo "$name: the window did not close after Save" >&2
    return 1
}

same_bytes() {
    if ! cmp "$1/setup.cfg" "$1/expected.cfg"; then
        cmp -l "$1/setup.cfg" "$1/expected.cfg" | head -20 >&2
        return 1
    fi
}

# 1. From the build, on the card.
"$wine_run" "$fixture" 'R:\'
"$wine_run" "$program_folder/K420_Setting.exe" 'R:\' &
app=$!
change_and_save k420
wait "$app"
app=
same_bytes "$card"
echo "1: setup.cfg as expected"

# 2. From the card: the program moves off it first.
mkdir -p "$card/Setting"
cp -r "$program_folder/." "$card/Setting/"
"$wine_run" "$fixture" 'R:\Setting'
local_data=$(find "$prefix/drive_c/users" -maxdepth 3 -path '*/AppData/Local' | head -1)
rm -rf "$local_data/Orbilux"
"$wine_run" 'R:\Setting\K420_Setting.exe' &
app=$!
# The program on the card starts its copy and ends: its windows go before the copy's is sought.
for _ in $(seq 600); do
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
done
change_and_save relocated
wait "$app" || true
app=
for file in K420_Setting.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll libstdc++-6.dll \
    libgcc_s_seh-1.dll libwinpthread-1.dll platforms/qwindows.dll; do
    if ! cmp -s "$program_folder/$file" "$local_data/Orbilux/$file"; then
        echo "2: $file was not moved into $local_data/Orbilux" >&2
        exit 1
    fi
done
same_bytes "$card/Setting"
echo "2: moved into $local_data/Orbilux, setup.cfg as expected; pictures in $shots"
