# The demo's window at each display scale Windows offers up to 200 %, set
# through the DPI Wine reads (LogPixels): a 1920 x 1080 screen at every
# scale, a 3840 x 2160 one at 200 %. Each time the window lies whole on the
# screen and shows the form at the scale that fits: the screen's own where
# it can, else the largest quarter step down that fits. At 96 and 120 DPI it
# runs on Wine's own desktop with its taskbar ("shell") and lies above the
# taskbar; at higher DPIs Wine 8 tells a DPI-aware program a work area
# shrunk by 96/DPI on that desktop (700 pixels high instead of 1052 at 144),
# so those run on the X screen itself, without a taskbar, where the window
# has no frame of Wine's. Sourced by windows-smoke.sh, whose helpers and
# display it uses; each check that fails calls fail.

LOGPIXELS_KEY='HKCU\Control Panel\Desktop'
BASE_DPI=96
DESKTOP_NAME=shell
# "screen DPI scale where": the form is 666 x 632 times scale, on Wine's
# desktop with its taskbar or on the X screen itself.
SCALE_RUNS=(
    "1920x1080 96 1 desktop"
    "1920x1080 120 1.25 desktop"
    "1920x1080 144 1.5 screen"
    "1920x1080 168 1.5 screen"
    "1920x1080 192 1.5 screen"
    "3840x2160 192 2 screen"
)
FORM_WIDTH=666
FORM_HEIGHT=632
# Wine draws the frame round a window on its desktop: both side borders,
# and the title bar with the bottom border, at 200 % at most this much.
FRAME_MAX_WIDTH=16
FRAME_MAX_HEIGHT=64

set_logpixels() {
    wine reg add "$LOGPIXELS_KEY" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1 ||
        fail "Wine's registry did not take LogPixels $1"
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

# The window's X window, and the bottom of the room it must lie in: the
# taskbar's top on Wine's desktop, else the screen's.
scale_window() {
    local where=$1 screen=$2 id
    id="$(wait_main_window)"
    [ -n "$id" ] || return 0
    if [ "$where" = desktop ]; then
        echo "$id $(taskbar_top "${screen%x*}" "${screen#*x}")"
    else
        echo "$id ${screen#*x}"
    fi
}

# scale_run SCREEN DPI SCALE WHERE
scale_run() {
    local screen=$1 dpi=$2 scale=$3 where=$4 what id bottom x y w h form_w form_h frame_w=0 frame_h=0
    what="nodeconfig-demo.exe at $((dpi * 100 / BASE_DPI)) % ($dpi DPI) on $screen"
    set_logpixels "$dpi"
    if [ "$where" = desktop ]; then
        what="$what, Wine's desktop"
        frame_w=$FRAME_MAX_WIDTH
        frame_h=$FRAME_MAX_HEIGHT
        wine explorer "/desktop=$DESKTOP_NAME,$screen" "$STAGE/nodeconfig-demo.exe" >/dev/null 2>&1 &
    else
        wine "$STAGE/nodeconfig-demo.exe" >/dev/null 2>&1 &
    fi
    # read fails at an empty answer, which must not end the run unreported.
    read -r id bottom < <(scale_window "$where" "$screen") || true
    form_w="$(scaled "$FORM_WIDTH" "$scale")"
    form_h="$(scaled "$FORM_HEIGHT" "$scale")"
    if [ -z "${id:-}" ]; then
        fail "$what: no window \"$WINDOW_TITLE\" appeared"
    elif [ -z "${bottom:-}" ]; then
        fail "$what: Wine's desktop shows no taskbar"
    else
        read -r x y w h < <(window_geometry "$id") || true
        if [ "$x" -lt 0 ] || [ "$y" -lt 0 ] || [ $((x + w)) -gt "${screen%x*}" ] || [ $((y + h)) -gt "$bottom" ]; then
            fail "$what: the window, ${w}x$h at $x,$y, is not whole above $bottom"
        elif [ $((w - form_w)) -lt 0 ] || [ $((w - form_w)) -gt "$frame_w" ] ||
             [ $((h - form_h)) -lt 0 ] || [ $((h - form_h)) -gt "$frame_h" ]; then
            fail "$what: the window is ${w}x$h, not the form at $scale (${form_w}x$form_h)"
        else
            echo "$what: the form at $scale (${form_w}x$form_h), whole in a ${w}x$h window at $x,$y above $bottom"
        fi
    fi
    end_wine_programs
}

smoke_scales() {
    local run screen shown=""
    for run in "${SCALE_RUNS[@]}"; do
        read -r screen _ _ _ <<<"$run"
        [ "$screen" = "$shown" ] || { start_display "$screen"; shown=$screen; }
        # shellcheck disable=SC2086
        scale_run $run
    done
    set_logpixels "$BASE_DPI"
}
