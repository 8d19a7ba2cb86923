# The Windows programs as a user meets them, under Wine on a virtual display:
# the demo's window with the demo node read into its fields, the command-line
# tool's help and a bad command, its test pattern ending black at the
# session's end, then the installer run silently (the
# guide and its Start-menu entry, the version in the installed programs
# list), the installed window waiting for a node, and the uninstaller leaving nothing
# behind, and the window at each display scale (windows-scales.sh). Sourced
# by scripts/windows --test, in its Wine prefix, which also ends the display
# on exit; each check that fails calls fail.

SMOKE_DIR="$(mktemp -d /tmp/nodeconfig-smoke.XXXXXX)"
WINDOW_SIZE=666x632
WINDOW_TITLE=MainWindow
WINDOW_WAIT_S=60
SAVE_DIALOG_TITLE="Enregistrer la configuration"
SAVED_NAME=node-192.168.1.50.json
DIALOG_SETTLE_S=1
# The menu bar's words upset the recognition of the form's small digits
# ("0,8" read "08"): the form's texts are read below it.
MENU_BAR_HEIGHT=21
SETTINGS_KEY='HKCU\Software\nodeconfig'
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\nodeconfig'
INSTALL_DIR="$WINEPREFIX/drive_c/Program Files/nodeconfig"
START_MENU="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
START_MENU_ENTRY="$START_MENU/Configuration du node LED.lnk"
GUIDE_ENTRY="$START_MENU/Configuration du node LED - Guide d'utilisation.lnk"
GUIDE_TITLE="Guide d'utilisation de nodeconfig"
VERSION_SHOWN="${PACKAGE_NAME#nodeconfig-}"
VERSION_SHOWN="${VERSION_SHOWN%-win64}"
# The firewall rule of each program, which Wine's netsh takes without
# keeping: what the installer and uninstaller ask of netsh is checked.
NETSH='"C:\windows\system32\netsh.exe" advfirewall firewall'
FIREWALL_PROGRAMS=(nodeconfig.exe nodeconfig-cli.exe)

# start_display [SIZE]: a virtual display of SIZE (1280x1024) in place of
# the one before, if any.
start_display() {
    local size=${1:-1280x1024}
    if [ -n "${XVFB_PID:-}" ]; then
        end_wine_programs
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null || true
    fi
    rm -f "$SMOKE_DIR/display"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$SMOKE_DIR/display" 2>/dev/null &
    XVFB_PID=$!
    local tries
    for tries in $(seq 50); do
        [ -s "$SMOKE_DIR/display" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(cat "$SMOKE_DIR/display")"
    # Wine's desktop started without a display for the suite: start it anew.
    end_wine_programs
}

# The program may make its window twice: where the window does not fit
# its screen, the first one, made but never shown, is dropped for one at a
# scale that fits. The window measured is the one shown (mapped and
# viewable) that keeps its place and size over WINDOW_STEADY_POLLS polls in
# a row, WINDOW_POLL_S seconds apart.
WINDOW_POLL_S=0.5
WINDOW_STEADY_POLLS=3

# "ID X Y WIDTH HEIGHT" of the first X window titled WINDOW_TITLE that is
# shown; nothing if none is.
shown_main_window() {
    local id
    for id in $(xwininfo -root -tree 2>/dev/null | awk -v title="\"$WINDOW_TITLE\":" '$2 == title { print $1 }'); do
        xwininfo -id "$id" 2>/dev/null | awk -v id="$id" '
            /Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
            /^  Width:/ { w = $2 } /^  Height:/ { h = $2 } /Map State: IsViewable/ { shown = 1 }
            END { if (shown) print id, x, y, w, h }' | grep . && return 0
    done
    return 0
}

# The main window's X window once it is shown and steady, within
# WINDOW_WAIT_S seconds; nothing if it is not.
wait_main_window() {
    local state last="" polls=0 deadline=$((SECONDS + WINDOW_WAIT_S))
    while [ "$SECONDS" -lt "$deadline" ]; do
        state="$(shown_main_window)"
        if [ -z "$state" ]; then
            polls=0
        elif [ "$state" = "$last" ]; then
            polls=$((polls + 1))
        else
            polls=1
        fi
        if [ "$polls" -ge "$WINDOW_STEADY_POLLS" ]; then
            echo "${state%% *}"
            return 0
        fi
        last=$state
        sleep "$WINDOW_POLL_S"
    done
    return 0
}

window_size() {
    xwininfo -id "$1" | awk '/^  Width:/ { w = $2 } /^  Height:/ { h = $2 } END { print w "x" h }'
}

# The window's text as a French reader of the screen sees it.
window_text() {
    local id=$1 shot="$SMOKE_DIR/window"
    import -window "$id" "$shot.png" 2>/dev/null || return 0
    convert "$shot.png" -crop "+0+$MENU_BAR_HEIGHT" +repage -resize 300% -colorspace Gray \
        -level 20%,80% "$shot-large.png"
    tesseract "$shot-large.png" - -l fra --psm 3 2>/dev/null | tr -s '\n' ' '
}

# expect_window WHAT TEXT...: waits for the main window, checks its size, and
# waits until every TEXT shows in it.
expect_window() {
    local what=$1 id text="" size missing second
    shift
    id="$(wait_main_window)"
    if [ -z "$id" ]; then
        fail "$what: no window \"$WINDOW_TITLE\" appeared"
        return
    fi
    size="$(window_size "$id")"
    [ "$size" = "$WINDOW_SIZE" ] || fail "$what: the window is $size instead of $WINDOW_SIZE"
    for second in $(seq "$WINDOW_WAIT_S"); do
        text="$(window_text "$id")"
        missing=""
        for wanted in "$@"; do
            [[ "$text" == *"$wanted"* ]] || missing="$wanted"
        done
        [ -z "$missing" ] && break
        sleep 1
    done
    if [ -n "$missing" ]; then
        fail "$what: \"$missing\" is not in the window, which reads: $text"
    else
        echo "$what: $size window showing: $*"
    fi
}

# The files Wine's C: drive holds outside Windows' own folder and the user's
# temporary folder, where every NSIS uninstaller runs (and leaves) a copy of
# itself so that it can remove its own file.
drive_c_files() {
    (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -path './users/*/Temp' -prune -o -print | sort)
}

smoke_demo() {
    wine "$STAGE/nodeconfig-demo.exe" >"$SMOKE_DIR/demo.out" 2>/dev/null &
    expect_window "nodeconfig-demo.exe" "Connecté au node" "168" "255 255 255" "LPD6803" "0,8"
    grep -q "recv 64 bytes:" "$SMOKE_DIR/demo.out" ||
        fail "nodeconfig-demo.exe printed no reply dump on its standard output"
    smoke_demo_save
    end_wine_programs
}

# Ctrl+S in the demo's window, whose file dialog starts in the last folder
# used (here one with spaces and accents, as the window keeps it in the
# registry) and proposes a name from the node's address: Enter saves there.
# nodeconfig-cli.exe load then takes the file: with no node under Wine, a
# file that passes every check leaves the command waiting for a node
# (status 3) instead of refusing it (status 2). Keys are pressed, not typed:
# xdotool's typing loses accented letters under Wine.
smoke_demo_save() {
    local folder="Sauvegardes d'été" dialog status=0 second path file
    path="C:\\$folder\\$SAVED_NAME"
    file="$WINEPREFIX/drive_c/$folder/$SAVED_NAME"
    mkdir -p "$WINEPREFIX/drive_c/$folder"
    wine reg add "$SETTINGS_KEY\\nodeconfig\\files" /v lastFolder /t REG_SZ /d "C:\\$folder" /f \
        >/dev/null 2>&1
    xdotool windowfocus --sync "$(wait_main_window)" && xdotool key --clearmodifiers ctrl+s
    dialog="$(timeout "$WINDOW_WAIT_S" xdotool search --sync --onlyvisible --name "$SAVE_DIALOG_TITLE" | head -n 1)" || true
    if [ -z "$dialog" ]; then
        fail "Ctrl+S in nodeconfig-demo.exe opened no \"$SAVE_DIALOG_TITLE\" dialog"
        return
    fi
    sleep "$DIALOG_SETTLE_S"
    xdotool key Return
    for second in $(seq "$WINDOW_WAIT_S"); do
        [ -s "$file" ] && break
        sleep 1
    done
    if ! grep -q '"address": "192.168.1.50"' "$file" 2>/dev/null; then
        fail "Ctrl+S in nodeconfig-demo.exe wrote no configuration to $path"
        return
    fi
    wine "$STAGE/nodeconfig-cli.exe" load "$path" --wait 0 >"$SMOKE_DIR/load-saved.out" 2>&1 || status=$?
    # The file is taken, then no node is found: none is plugged in, or Wine
    # lacks the configuration manager's functions that hidapi starts with.
    if ! { [ "$status" -eq 3 ] && grep -q "Aucun node connecté" "$SMOKE_DIR/load-saved.out"; } &&
        ! { [ "$status" -eq 1 ] && grep -q "USB indisponible" "$SMOKE_DIR/load-saved.out"; }; then
        fail "nodeconfig-cli.exe load of the window's file (status $status): $(cat "$SMOKE_DIR/load-saved.out")"
    else
        echo "nodeconfig-demo.exe Ctrl+S to $path, taken by nodeconfig-cli.exe load"
    fi
    rm -rf "${WINEPREFIX:?}/drive_c/$folder"
}

smoke_cli() {
    local status=0
    wine "$STAGE/nodeconfig-cli.exe" --help >"$SMOKE_DIR/help.out" 2>&1 || status=$?
    if [ "$status" -ne 0 ] || ! grep -q "Configure un node LED branché en USB" "$SMOKE_DIR/help.out"; then
        fail "nodeconfig-cli.exe --help (status $status): $(head -c 300 "$SMOKE_DIR/help.out")"
    else
        echo "nodeconfig-cli.exe --help: the French help, status 0"
    fi
    status=0
    wine "$STAGE/nodeconfig-cli.exe" bogus >/dev/null 2>&1 || status=$?
    if [ "$status" -ne 2 ]; then
        fail "nodeconfig-cli.exe bogus exits with $status instead of 2"
    else
        echo "nodeconfig-cli.exe bogus: status 2"
    fi
    smoke_cli_path
}

# A Windows path with backslashes, spaces and accents reaches the file and
# comes back whole in the message: a damaged file is refused before any node
# is looked for.
smoke_cli_path() {
    local folder="Réglages d'été" name="nœud n°1.json" status=0 expected
    mkdir -p "$WINEPREFIX/drive_c/$folder"
    printf '{"formatVersion": 1,' >"$WINEPREFIX/drive_c/$folder/$name"
    wine "$STAGE/nodeconfig-cli.exe" load "C:\\$folder\\$name" >"$SMOKE_DIR/load.out" 2>&1 || status=$?
    expected="« C:\\$folder\\$name » : JSON mal formé"
    if [ "$status" -ne 2 ] || ! grep -qF "$expected" "$SMOKE_DIR/load.out"; then
        fail "nodeconfig-cli.exe load with a Windows path (status $status): $(cat "$SMOKE_DIR/load.out")"
    else
        echo "nodeconfig-cli.exe load C:\\$folder\\$name: the file found, its path whole, status 2"
    fi
    rm -rf "${WINEPREFIX:?}/drive_c/$folder"
}

# Logging off or shutting down, as Wine's wineboot --end-session does it
# (the session's messages to every top-level window, then the process ended):
# nodeconfig-cli.exe's test pattern ends black first. The node is a listener
# on loopback that writes "lit" or "black" for each DMX frame it receives.
SESSION_END_ADDRESS=127.0.0.9
ARTNET_PORT=6454
SESSION_END_PATTERN_S=60
SESSION_END_FIRST_FRAME_S=30
smoke_session_end() {
    local frames="$SMOKE_DIR/session-end.frames" out="$SMOKE_DIR/session-end.out"
    local listener cli started last
    python3 -u - "$SESSION_END_ADDRESS" "$ARTNET_PORT" >"$frames" 2>&1 <<'PYTHON' &
import socket, sys
receiver = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
receiver.bind((sys.argv[1], int(sys.argv[2])))
while True:
    packet = receiver.recv(2048)
    # ArtDmx: "Art-Net", its opcode 0x5000 little-endian, the data from byte 18.
    if packet[:8] == b"Art-Net\0" and packet[8:10] == b"\x00\x50":
        print("lit" if any(packet[18:]) else "black")
PYTHON
    listener=$!
    started=$SECONDS
    wine "$STAGE/nodeconfig-cli.exe" test "$SESSION_END_ADDRESS" --universe 1 \
        --seconds "$SESSION_END_PATTERN_S" >"$out" 2>&1 &
    cli=$!
    while [ ! -s "$frames" ] && [ $((SECONDS - started)) -lt "$SESSION_END_FIRST_FRAME_S" ]; do
        sleep 0.2
    done
    wine wineboot --end-session >/dev/null 2>&1
    wait "$cli" || true
    kill "$listener" 2>/dev/null
    wait "$listener" 2>/dev/null || true
    last="$(tail -n 1 "$frames")"
    if [ $((SECONDS - started)) -ge "$SESSION_END_PATTERN_S" ]; then
        fail "the session's end did not end nodeconfig-cli.exe test: $(tr '\n' ' ' <"$out")"
    elif [ "$last" != black ] || ! grep -q "noir envoyé" "$out"; then
        fail "nodeconfig-cli.exe test at the session's end: last frame '$last', $(tr '\n' ' ' <"$out")"
    else
        echo "the session's end: nodeconfig-cli.exe test ended black ($(grep -c . "$frames") frames)"
    fi
    # The session's end reached Wine's own programs too: start them anew.
    end_wine_programs
}

# netsh_calls TRACE: the netsh command lines of a run traced with
# WINEDEBUG=+process, one a line, unescaped.
netsh_calls() {
    sed -n 's/^[0-9a-f]*:trace:process:CreateProcessInternalW app (null) cmdline L"\(\\"C:\\\\windows\\\\system32\\\\netsh\.exe.*\)"$/\1/p' "$1" |
        sed 's/\\"/"/g; s/\\\\/\\/g'
}

# expect_netsh TRACE LINE WHAT: the traced run asked netsh for LINE.
expect_netsh() {
    grep -qxF "$2" <(netsh_calls "$1") && return 0
    fail "$3: no \"$2\" among the calls of netsh:"
    netsh_calls "$1"
}

firewall_rule() { echo "name=\"nodeconfig, Art-Net UDP 6454 ($1)\""; }

# The guide as an installed program shows it: its files beside the
# programs, its Start-menu entry running nodeconfig.exe --guide, which opens
# the guide's window; and the version, as the installed programs list and
# --version give it.
smoke_installed_guide() {
    local failures_before=$failures file shown texts
    for file in guide.md window.png series-window.png network-window.png; do
        [ -f "$INSTALL_DIR/guide/$file" ] || fail "the installer put no guide\\$file in Program Files"
    done
    [ -f "$INSTALL_DIR/licence.txt" ] || fail "the installer put no licence.txt in Program Files"
    # The shortcut keeps its target and arguments as text, some of it in
    # UTF-16, each string behind its length. Read whole first: grep -q
    # ending a pipe early would fail it under pipefail.
    [ -f "$GUIDE_ENTRY" ] && texts="$(strings -a "$GUIDE_ENTRY"; strings -el "$GUIDE_ENTRY")"
    if [ ! -f "$GUIDE_ENTRY" ]; then
        fail "the installer made no Start-menu entry \"$(basename "$GUIDE_ENTRY" .lnk)\""
    elif ! grep -q -- "--guide$" <<<"$texts" || ! grep -qi 'nodeconfig\\nodeconfig\.exe' <<<"$texts"; then
        fail "the guide's Start-menu entry does not run nodeconfig.exe --guide: $(tr '\n' ' ' <<<"$texts")"
    fi
    shown="$(wine reg query "$UNINSTALL_KEY" /v DisplayVersion 2>/dev/null | tr -d '\r' | awk '$1 == "DisplayVersion" { print $3 }')"
    [ "$shown" = "$VERSION_SHOWN" ] ||
        fail "the installed programs list shows version '$shown' instead of $VERSION_SHOWN"
    shown="$(wine "C:\\Program Files\\nodeconfig\\nodeconfig.exe" --version 2>/dev/null | tr -d '\r' | head -n 1)"
    [ "$shown" = "nodeconfig $VERSION_SHOWN" ] ||
        fail "installed nodeconfig.exe --version says '$shown' instead of 'nodeconfig $VERSION_SHOWN'"
    wine "C:\\Program Files\\nodeconfig\\nodeconfig.exe" --guide >/dev/null 2>&1 &
    if ! wait_window_titled "$GUIDE_TITLE"; then
        fail "nodeconfig.exe --guide showed no window \"$GUIDE_TITLE\""
    fi
    end_wine_programs
    if [ "$failures" -eq "$failures_before" ]; then
        echo "installed guide: its files, its Start-menu entry (nodeconfig.exe --guide), its window; version $VERSION_SHOWN listed and given by --version"
    fi
}

# wait_window_titled TITLE: whether a window of that title is shown within
# WINDOW_WAIT_S seconds.
wait_window_titled() {
    local deadline=$((SECONDS + WINDOW_WAIT_S))
    while [ "$SECONDS" -lt "$deadline" ]; do
        xwininfo -root -tree 2>/dev/null | grep -cF "\"$1\":" >/dev/null && return 0
        sleep "$WINDOW_POLL_S"
    done
    return 1
}

smoke_installer() {
    local before after program failures_before=$failures
    before="$(drive_c_files)"
    WINEDEBUG=+process wine "$WIN_BUILD_DIR/$PACKAGE_NAME-setup.exe" /S 2>"$SMOKE_DIR/install.trace"
    wineserver -w
    for program in "${FIREWALL_PROGRAMS[@]}"; do
        expect_netsh "$SMOKE_DIR/install.trace" "$NETSH add rule $(firewall_rule "$program") dir=in action=allow protocol=UDP localport=6454 profile=any program=\"C:\\Program Files\\nodeconfig\\$program\" enable=yes" \
            "the installer's firewall rule for $program"
    done
    for program in "${PROGRAMS[@]}" uninstall; do
        [ -f "$INSTALL_DIR/$program.exe" ] || fail "the installer put no $program.exe in Program Files"
    done
    [ -f "$START_MENU_ENTRY" ] || fail "the installer made no Start-menu entry \"Configuration du node LED\""
    wine reg query "$UNINSTALL_KEY" /v UninstallString >/dev/null 2>&1 ||
        fail "the uninstaller is not registered with Windows"
    if [ "$failures" -eq "$failures_before" ]; then
        echo "silent install: the programs, the Start-menu entry, the uninstaller and the firewall rules are there"
    fi

    smoke_installed_guide

    wine "C:\\Program Files\\nodeconfig\\nodeconfig.exe" >/dev/null 2>&1 &
    expect_window "installed nodeconfig.exe, no node" "En attente de node"
    end_wine_programs

    # Where a window keeps its fitted font when the user's font is too wide,
    # which Wine's is not: the uninstaller must take it away too.
    local cache="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/nodeconfig/cache"
    mkdir -p "$cache" && echo "kept by the window" >"$cache/fitted-font-1.5"

    WINEDEBUG=+process wine "C:\\Program Files\\nodeconfig\\uninstall.exe" /S 2>"$SMOKE_DIR/uninstall.trace"
    wineserver -w
    for program in "${FIREWALL_PROGRAMS[@]}"; do
        expect_netsh "$SMOKE_DIR/uninstall.trace" "$NETSH delete rule $(firewall_rule "$program")" \
            "the uninstaller's removal of the firewall rule for $program"
    done
    ! wine reg query "$UNINSTALL_KEY" >/dev/null 2>&1 || fail "the uninstaller left its registry key"
    # Kept by the demo's save above: the last folder of configuration files.
    ! wine reg query "$SETTINGS_KEY" >/dev/null 2>&1 || fail "the uninstaller left the windows' settings"
    after="$(drive_c_files)"
    if [ "$before" != "$after" ]; then
        fail "the uninstaller left files behind: $(diff <(echo "$before") <(echo "$after") | grep '^>' | head -n 5 | tr '\n' ' ')"
    else
        echo "silent uninstall: nothing left behind, the window's font cache included"
    fi
}

. "$ROOT/scripts/windows-scales.sh"

start_display
smoke_demo
smoke_cli
smoke_session_end
smoke_installer
smoke_scales
