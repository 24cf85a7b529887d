#!/usr/bin/env bash
# Remakes the pictures of the help pages (resources/help/<language>/images/*.png) from the real
# program: Tolvek runs on a private Xvfb display with the simulated eye camera, a temporary data
# folder holding the sample recordings and a temporary home (the user's own settings are never
# touched); xdotool drives it, ImageMagick grabs the screen and scales the pictures.
#
#   scripts/help-screenshots.sh [BUILD_DIR] [LANGUAGE]
#
# BUILD_DIR (default build) must hold tolvek and tolvek_samples (cmake --build BUILD_DIR --target
# tolvek tolvek_samples). LANGUAGE is the help folder to fill: en (default), ja or another of the
# program's language codes (scripts/lib/xsession.sh). The display
# number is HELP_DISPLAY (default 43); it must be free. Needs Xvfb, xdotool and ImageMagick
# (apt-get install xvfb xdotool imagemagick); openbox is used as window manager when installed.
# Only the processes this script starts are stopped at its end.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
language=${2:-en}
display=${HELP_DISPLAY:-43}
name=help-screenshots
work=$(mktemp -d /tmp/tolvek-helpshots.XXXXXX)
# shellcheck source=lib/xsession.sh
. "$root/scripts/lib/xsession.sh"
trap xsession_cleanup EXIT
xsession_require
setting=
for i in "${!xsession_languages[@]}"; do
    [ "${xsession_languages[i]}" = "$language" ] && setting=$i
done
[ -n "$setting" ] || {
    echo "help-screenshots: '$language' is not one of the program's languages (${xsession_languages[*]})" >&2
    exit 2
}

images="$root/resources/help/$language/images"
mkdir -p "$images"
xsession_start_display
data="$work/data"
xsession_data "$data" "$setting"
xsession_run "$data" "$work/home"

# shot NAME X Y WIDTH HEIGHT WIDTH_OUT: a picture of the help pages.
shot() {
    grab "$images/$1.png" "${@:2}"
}
# drag WINDOW X1 Y X2: a press at (X1, Y), a move in steps to (X2, Y), a release there.
drag() {
    local w=$1 x=$2 y=$3 to=$4 step
    xdotool mousemove --window "$w" "$x" "$y" mousedown 1
    step=$(((to - x) / 10))
    for _ in $(seq 10); do
        x=$((x + step))
        xdotool mousemove --window "$w" "$x" "$y"
        sleep 0.05
    done
    xdotool mousemove --window "$w" "$to" "$y" mouseup 1
}

# The program opens with the ID keypad over the live picture.
main=$(window 'Tolvek Version')
pid=${xsession_pids[-1]}
keypad=$(dialog_of "$pid" "$main")
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
sleep 2
read -r mx my mw mh < <(geometry "$main")
# The picture and slider at the window's 1280 x 720 (the layout's own example): the picture at
# (280, 132), 720 x 540; the slider band's middle 14 pixels below the picture.
px=280 py=132 pw=720 ph=540
slider=$((py + ph + 3 + 14))

xdotool windowactivate --sync "$keypad" >/dev/null 2>&1 || true
click "$keypad" 287 109 # the first entry of the ID history: 123
sleep 1
shot id-keypad "$mx" "$my" "$mw" "$mh" 800

# Recording: the head turned up and to the left by hand (key 7), the elapsed time at the top.
keys "$keypad" Return
sleep 2
keys "$main" 7
sleep 3
shot recording "$mx" "$my" "$mw" "$mh" 800
keys "$main" 9
sleep 2
keys "$main" 5
sleep 1
keys "$main" Return # stop: the new video opens in the player
sleep 3

# Review: a range chosen with the two yellow markers, the position moved into it.
drag "$main" $((px + 1)) "$slider" $((px + 200))
sleep 0.5
drag "$main" $((px + pw - 1)) "$slider" $((px + pw - 220))
sleep 0.5
click "$main" $((px + 330)) "$slider"
sleep 1.5
shot review "$mx" "$my" "$mw" "$mh" 800

# menu_shot NAME X Y WIDTH HEIGHT: the menu that is open, with that part of the screen beside
# it (the button that opened it), whichever way the menu opened and however long its items are.
menu_shot() {
    local menu x y w h
    menu=$(popup_of "$pid" "$main")
    read -r x y w h < <(geometry "$menu")
    read -r x y w h < <(bounding_box "$x" "$y" "$w" "$h" "${@:2}")
    shot "$1" "$x" "$y" "$w" "$h" "$w"
}

# The main menu, opened with the Menu button.
click "$main" 48 48
sleep 1
menu_shot main-menu "$mx" "$my" 100 100
xdotool key Escape
sleep 0.5

# The pop-up menu of the video, by a right click on the picture.
click "$main" $((px + 200)) $((py + 200)) 3
sleep 1
menu_shot video-menu $((mx + px + 160)) $((my + py + 160)) 80 80
xdotool key Escape
sleep 0.5

# The memo of the video: the first item of that menu.
click "$main" $((px + 200)) $((py + 200)) 3
sleep 1
xdotool key Down Return
memo=$(dialog_of "$pid" "$main")
sleep 1
read -r dx dy dw dh < <(geometry "$memo")
shot memo "$dx" "$dy" "$dw" "$dh" 700
keys "$memo" Escape
sleep 1

# Trim: the trim button, which the markers have enabled.
click "$main" $((px + pw - 42)) 48
trim=$(dialog_of "$pid" "$main") # the trim dialog
sleep 1
read -r dx dy dw dh < <(geometry "$trim")
shot trim "$dx" "$dy" "$dw" "$dh" "$dw"
keys "$trim" Escape
sleep 1

# All videos, with the folder panel; then the menu of that view.
click "$main" 138 48
sleep 2
shot all-videos "$mx" "$my" "$mw" "$mh" 800
click "$main" 48 48
sleep 1
menu_shot folder-menu "$mx" "$my" 100 100

# Backup by date: its first item opens the date keypad.
xdotool key Down Return
date=$(dialog_of "$pid" "$main")
sleep 1
read -r dx dy dw dh < <(geometry "$date")
shot backup-date "$dx" "$dy" "$dw" "$dh" 300
keys "$date" Escape
sleep 1

# Quit with the EXIT button; the program saves its settings into the temporary folder.
click "$main" $((mw - 48)) 48
sleep 2
