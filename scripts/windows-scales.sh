# The demo's window at each display scale Windows offers up to 200 %, set
# through the DPI Wine reads (LogPixels), on Wine's own desktop with its
# taskbar ("shell"): a 1920 x 1080 screen at every scale, a 3840 x 2160 one
# at 200 %. Each time the window lies whole on the desktop above the taskbar
# and shows the form at the scale that fits: the screen's own where it
# can, else the largest quarter step down that fits. Sourced by
# windows-smoke.sh, whose helpers and display it uses; each check that
# fails calls fail.

LOGPIXELS_KEY='HKCU\Control Panel\Desktop'
BASE_DPI=96
DESKTOP_NAME=shell
# "screen DPI scale": the form is 666 x 632 times scale.
SCALE_RUNS=(
    "1920x1080 96 1"
    "1920x1080 120 1.25"
    "1920x1080 144 1.5"
    "1920x1080 168 1.5"
    "1920x1080 192 1.5"
    "3840x2160 192 2"
)
FORM_WIDTH=666
FORM_HEIGHT=632
# Wine draws the frame round a window on its desktop: both side borders,
# and the title bar with the bottom border, at 200 % at most this much.
FRAME_MAX_WIDTH=16
FRAME_MAX_HEIGHT=64

set_logpixels() {
    wine reg add "$LOGPIXELS_KEY" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    wineserver -w
}

# X, Y, width and height of an X window, absolute.
window_geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
        /^  Width:/ { w = $2 } /^  Height:/ { h = $2 } END { print x, y, w, h }'
}

# The top of Wine's taskbar on a desktop WIDTH x HEIGHT: its window spans the
# desktop's width and ends at its bottom.
taskbar_top() {
    local width=$1 height=$2
    xwininfo -root -tree | awk -v w="$width" -v h="$height" '
        /"explorer.exe"/ && match($0, /[0-9]+x[0-9]+\+[0-9]+\+[0-9]+/) {
            split(substr($0, RSTART, RLENGTH), g, /[x+]/)
            if (g[1] == w && g[4] > 0 && g[4] + g[2] == h) { print g[4]; exit }
        }'
}

# scaled SIZE SCALE: SIZE times SCALE, to the nearest pixel.
scaled() {
    awk -v size="$1" -v scale="$2" 'BEGIN { printf "%d\n", size * scale + 0.5 }'
}

# scale_run SCREEN DPI SCALE
scale_run() {
    local screen=$1 dpi=$2 scale=$3 what id x y w h top form_w form_h
    what="nodeconfig-demo.exe at $((dpi * 100 / BASE_DPI)) % ($dpi DPI) on $screen"
    set_logpixels "$dpi"
    wine explorer "/desktop=$DESKTOP_NAME,$screen" "$STAGE/nodeconfig-demo.exe" >/dev/null 2>&1 &
    id="$(wait_main_window)"
    if [ -z "$id" ]; then
        fail "$what: no window \"$WINDOW_TITLE\" appeared"
        end_wine_programs
        return
    fi
    read -r x y w h < <(window_geometry "$id")
    top="$(taskbar_top "${screen%x*}" "${screen#*x}")"
    form_w="$(scaled "$FORM_WIDTH" "$scale")"
    form_h="$(scaled "$FORM_HEIGHT" "$scale")"
    if [ -z "$top" ]; then
        fail "$what: Wine's desktop shows no taskbar"
    elif [ "$x" -lt 0 ] || [ "$y" -lt 0 ] || [ $((x + w)) -gt "${screen%x*}" ] || [ $((y + h)) -gt "$top" ]; then
        fail "$what: the window, ${w}x$h at $x,$y, is not whole above the taskbar at $top"
    elif [ $((w - form_w)) -lt 0 ] || [ $((w - form_w)) -gt "$FRAME_MAX_WIDTH" ] ||
         [ $((h - form_h)) -lt 0 ] || [ $((h - form_h)) -gt "$FRAME_MAX_HEIGHT" ]; then
        fail "$what: the window is ${w}x$h, not the form at $scale (${form_w}x$form_h) in its frame"
    else
        echo "$what: the form at $scale (${form_w}x$form_h), whole in a ${w}x$h window at $x,$y above the taskbar at $top"
    fi
    end_wine_programs
}

smoke_scales() {
    local run screen shown=""
    for run in "${SCALE_RUNS[@]}"; do
        read -r screen _ _ <<<"$run"
        [ "$screen" = "$shown" ] || { start_display "$screen"; shown=$screen; }
        # shellcheck disable=SC2086
        scale_run $run
    done
    set_logpixels "$BASE_DPI"
}
