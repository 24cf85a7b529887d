#!/usr/bin/env bash
# One set of pictures per interface language, so that anyone can look at all 13 at once: for each
# language Tolvek runs on a private Xvfb display with the simulated eye camera, a data folder of
# sample recordings and a home of its own (the user's settings are never touched), and the script
# grabs the ID keypad, a recording, the player with its lists, and the all-videos view.
#
#   scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]
#
# BUILD_DIR (default build) must hold tolvek and tolvek_samples. OUT_DIR (default
# BUILD_DIR/screenshots) receives NN-CODE-WHAT.png for language NN (the Language setting) and
# CODE (its help folder), and overview.png with all of them when ImageMagick's montage is there.
# SHOTS_LANGUAGES limits the run to some Language settings (e.g. "9 10"). The display number is
# SHOTS_DISPLAY (default 46); it must be free. Needs Xvfb, xdotool, x11-utils
# and ImageMagick; openbox is used as window manager when installed.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=${2:-$build/screenshots}
display=${SHOTS_DISPLAY:-46}
name=screenshots
work=$(mktemp -d /tmp/tolvek-shots.XXXXXX)
# shellcheck source=lib/xsession.sh
. "$root/scripts/lib/xsession.sh"
trap xsession_cleanup EXIT
xsession_require
mkdir -p "$out"
out=$(cd "$out" && pwd)

xsession_start_display
base=${#xsession_pids[@]}

for language in ${SHOTS_LANGUAGES:-${!xsession_languages[@]}}; do
    prefix=$(printf '%s/%02d-%s' "$out" "$language" "${xsession_languages[language]}")
    run="$work/run$language"
    xsession_data "$run/data" "$language"
    xsession_run "$run/data" "$run/home"
    pid=${xsession_pids[-1]}
    main=$(window 'Tolvek Version')
    keypad=$(dialog_of "$pid" "$main")
    sleep 2
    read -r mx my mw mh < <(geometry "$main")
    xdotool windowactivate --sync "$keypad" >/dev/null 2>&1 || true
    click "$keypad" 287 109 # the first entry of the ID history
    sleep 1
    grab "$prefix-1-dialog.png" "$mx" "$my" "$mw" "$mh" 960 >/dev/null

    keys "$keypad" Return # starts the recording
    sleep 4
    grab "$prefix-2-recording.png" "$mx" "$my" "$mw" "$mh" 960 >/dev/null
    keys "$main" Return # stops it; the new video opens in the player beside the lists
    sleep 3
    grab "$prefix-3-player.png" "$mx" "$my" "$mw" "$mh" 960 >/dev/null

    click "$main" 138 48 # List: every video, with the folder panel
    sleep 2
    grab "$prefix-4-all-videos.png" "$mx" "$my" "$mw" "$mh" 960 >/dev/null

    click "$main" $((mw - 48)) 48 # EXIT
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    xsession_stop_from "$base"
    echo "$prefix-*.png"
done

if command -v montage >/dev/null; then
    montage "$out"/[0-9][0-9]-*.png -tile 4x -geometry 480x+4+4 "$out/overview.png"
    echo "$out/overview.png"
fi
