# Shared by the screenshot scripts: a private Xvfb display with openbox (when installed), a data
# folder and home of their own, Tolvek started on them, and the xdotool and ImageMagick steps that
# drive and grab it. Source it after setting: name (for messages), display, build, work.
# Only the processes started here are stopped by xsession_cleanup.

xsession_pids=()
# The program's interface languages in the order of the Language setting, by help folder code.
xsession_languages=(ja en pt zh-Hans zh-Hant ko fr es hi ar ru de ms)

xsession_require() {
    local tool
    for tool in Xvfb xdotool xwininfo import convert; do
        command -v "$tool" >/dev/null || {
            echo "$name: $tool is missing (apt-get install xvfb xdotool x11-utils imagemagick)" >&2
            exit 1
        }
    done
    for program in tolvek tolvek_samples; do
        [ -x "$build/$program" ] || {
            echo "$name: $build/$program is missing; build it first" >&2
            exit 1
        }
    done
    if [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; then
        echo "$name: display :$display is in use; choose a free one" >&2
        exit 1
    fi
}

# Stops what was started, newest first: the program before the window manager before the display.
xsession_stop_from() {
    local from=$1 i
    for ((i = ${#xsession_pids[@]} - 1; i >= from; i--)); do
        kill "${xsession_pids[i]}" 2>/dev/null || true
        wait "${xsession_pids[i]}" 2>/dev/null || true
    done
    xsession_pids=("${xsession_pids[@]:0:from}")
}
xsession_cleanup() {
    xsession_stop_from 0
    rm -rf "$work"
}

xsession_start_display() {
    export DISPLAY=":$display"
    Xvfb "$DISPLAY" -screen 0 1600x1000x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xsession_pids+=($!)
    for _ in $(seq 50); do
        xdotool getdisplaygeometry >/dev/null 2>&1 && break
        sleep 0.1
    done
    if command -v openbox >/dev/null; then
        openbox >"$work/openbox.log" 2>&1 &
        xsession_pids+=($!)
        sleep 1
    fi
}

# xsession_data DIR LANGUAGE_SETTING: a data folder of the program's layout with the sample
# recordings in gazou and the settings, language among them.
xsession_data() {
    local data=$1
    mkdir -p "$data/gazou" "$data/backup"
    printf 'SaveFolder:%s\r\nBackupFolder:%s\r\nLanguage:%s\r\nID history:00000123,00004567,00000111\r\n' \
        "$data/gazou" "$data/backup" "$2" >"$data/Tolvek_config.ini"
    "$build/tolvek_samples" "$data/gazou" >/dev/null
}

# xsession_run DATA HOME: Tolvek with the simulated camera on that data folder and home.
xsession_run() {
    mkdir -p "$2/config" "$2/runtime"
    chmod 700 "$2/runtime"
    env HOME="$2" XDG_CONFIG_HOME="$2/config" XDG_DATA_HOME="$2/share" XDG_RUNTIME_DIR="$2/runtime" \
        TOLVEK_DATA_DIR="$1" "$build/tolvek" --camera sim >"$work/tolvek.log" 2>&1 &
    xsession_pids+=($!)
}

# The id of the first window whose title matches $1, waiting up to 20 s for it.
window() {
    local id
    for _ in $(seq 200); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
        [ -n "$id" ] && {
            echo "$id"
            return
        }
        sleep 0.1
    done
    echo "$name: no window '$1' appeared; the program said:" >&2
    cat "$work/tolvek.log" >&2
    exit 1
}
# The visible window of process $1 other than the main window $2 with a title of its own (a
# dialog, not a menu or tooltip), waiting up to 20 s.
dialog_of() {
    local id w
    for _ in $(seq 200); do
        for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null || true); do
            [ "$w" != "$2" ] && ! [[ "$(xdotool getwindowname "$w" 2>/dev/null)" =~ ^(Tolvek)?$ ]] && {
                echo "$w"
                return
            }
        done
        sleep 0.1
    done
    echo "$name: no dialog appeared; the program said:" >&2
    cat "$work/tolvek.log" >&2
    exit 1
}
# The visible window of process $1 other than the main window $2 that has no title of its own (a
# pop-up menu: Qt names it after the program), waiting up to 10 s.
popup_of() {
    local w
    for _ in $(seq 100); do
        for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null || true); do
            [ "$w" != "$2" ] && [[ "$(xdotool getwindowname "$w" 2>/dev/null)" =~ ^(Tolvek)?$ ]] && {
                echo "$w"
                return
            }
        done
        sleep 0.1
    done
    echo "$name: no menu appeared" >&2
    exit 1
}
# bounding_box X1 Y1 W1 H1 X2 Y2 W2 H2: "x y width height" of the smallest rectangle holding
# both, widened by 6 pixels on every side.
bounding_box() {
    local left=$(($1 < $5 ? $1 : $5)) top=$(($2 < $6 ? $2 : $6))
    local right=$(($1 + $3 > $5 + $7 ? $1 + $3 : $5 + $7)) bottom=$(($2 + $4 > $6 + $8 ? $2 + $4 : $6 + $8))
    echo $((left - 6)) $((top - 6)) $((right - left + 12)) $((bottom - top + 12))
}
# Where a window's client area lies on the screen: "x y width height".
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
        /^ *Width/ {w=$2} /^ *Height/ {h=$2} END {print x, y, w, h}'
}
# grab FILE X Y WIDTH HEIGHT WIDTH_OUT: that part of the screen, scaled to WIDTH_OUT pixels wide,
# as an 8-bit PNG without metadata.
grab() {
    import -window root -crop "$4x$5+$2+$3" +repage "$work/grab.png"
    convert "$work/grab.png" -resize "$6x" -strip -colors 256 -define png:compression-level=9 "png8:$1"
    echo "$1"
}
# click WINDOW X Y [BUTTON]: a click at a point of the window's client area.
click() {
    xdotool mousemove --window "$1" "$2" "$3" click "${4:-1}"
}
# keys WINDOW KEY...: keys typed into that window, made the active one first.
keys() {
    local w=$1
    shift
    xdotool windowactivate --sync "$w" >/dev/null 2>&1 || true
    xdotool key "$@"
}
