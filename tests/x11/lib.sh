# Shared by the X test and scripts/screenshots: a private Xvfb server, waiting for things, and
# clicking the panel's widgets. The caller sets `work` (a scratch folder), keeps the processes to
# end in the array `pids`, and defines fail MESSAGE.

# fail_with_logs NAME MESSAGE LOG...: ends the test with "NAME: MESSAGE", followed by each log
# (a file in $work) that is not empty; for the caller's fail.
fail_with_logs() {
    local name=$1 message=$2
    shift 2
    echo "$name: $message" >&2
    for log in "$@"; do
        [ -s "$work/$log" ] && sed "s|^|  $log: |" "$work/$log" >&2
    done
    exit 1
}

# Ends the processes in `pids`; for the caller's EXIT trap.
end_processes() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
}

# Runs "$@" every 100 ms until it succeeds; fails naming `what` after `seconds`.
wait_for() {
    local seconds=$1 what=$2
    shift 2
    local tries=$((seconds * 10))
    until "$@" >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "timed out waiting for $what"
        sleep 0.1
    done
}

# Waits for process `pid` to end and sets `status` to its exit status; fails after `seconds`.
# Not for $(...): a subshell cannot wait for this shell's children, and gets no status for a
# process that ends late (as under the sanitizers).
exit_status_of() {
    local pid=$1 seconds=$2
    wait_for "$seconds" "process $pid to end" bash -c "! kill -0 $pid"
    status=0
    wait "$pid" || status=$?
}

# Starts Xvfb on a display number of its own choosing and exports DISPLAY.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset -nolisten tcp 3>"$work/display" \
        2>"$work/xvfb.log" &
    pids+=($!)
    wait_for 20 "Xvfb to start" test -s "$work/display"
    export DISPLAY=":$(head -n1 "$work/display")"
    # The panel draws no OpenGL; without the GLX integration Qt never loads the graphics driver,
    # whose own allocations the leak checker would otherwise blame on the panel.
    export QT_XCB_GL_INTEGRATION=none
}

# start_simulator comes from the scripts' library.
# shellcheck source=scripts/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"

# The id of the first visible window whose title matches `pattern`.
visible_window() {
    xdotool search --onlyvisible --name "$1" | head -n1 | grep .
}

# Waits for the main window, then lays out its widgets off screen (program `widget_map`) to know
# where they are. Sets `window`.
map_main_window() {
    wait_for 30 "the main window" visible_window '^Lumo Win$'
    window=$(visible_window '^Lumo Win$')
    eval "$(xdotool getwindowgeometry --shell "$window" | sed 's/^/window_/')"
    "$widget_map" "$window_WIDTH" "$window_HEIGHT" >"$work/map" 2>/dev/null \
        || fail "cannot lay out the window off screen"
}

# Screen position of a widget of the main window: "x y".
where() {
    awk -v name="$1" -v x="$window_X" -v y="$window_Y" \
        '$1 == name { print $2 + x, $3 + y; found = 1 } END { exit !found }' "$work/map" \
        || fail "no widget named $1 in the window"
}

click() {
    local x y
    read -r x y <<<"$(where "$1")"
    xdotool mousemove --sync "$x" "$y" click 1
}

# "R G B" (0..255), the average of the 12x12 pixels around x,y on the screen.
colour_at() {
    import -window root "$work/shot.png"
    convert "$work/shot.png" -crop "12x12+$(($1 - 6))+$(($2 - 6))" -scale '1x1!' \
        -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:
}

is_yellow() {
    local r g b
    read -r r g b <<<"$(colour_at "$1" "$2")"
    [ "$r" -gt 200 ] && [ "$g" -gt 170 ] && [ $((r - b)) -gt 60 ]
}

# The lamp stays yellow over two shots apart by more than one blink (100 ms).
is_steady_yellow() {
    is_yellow "$1" "$2" && sleep 0.25 && is_yellow "$1" "$2"
}
