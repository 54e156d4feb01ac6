#!/usr/bin/env bash
# The panel on a real X server (Xvfb), worked with real mouse clicks against lumo-sim:
#  1. press the active button and the lamp switch of channel 2; the simulator's trace must show the
#     query and the switch command, and a screenshot the yellow lamp; the exit button ends the
#     program with status 0 and writes its configuration;
#  2. with no transmitter the "Error" box, dismissed with the keyboard, ends it with status 1.
# Usage: run-x11-test.sh LUMO_WIN LUMO_SIM X11_WIDGET_MAP
set -euo pipefail

panel_program=$1
simulator=$2
widget_map=$3
# No dot in the folder name: the panel names its files after its own path cut at the last dot.
work=$(mktemp -d /tmp/lumo-x11-XXXXXX)
pids=()

cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "x11 test: $*" >&2
    for log in trace panel.log; do
        [ -s "$work/$log" ] && sed "s|^|  $log: |" "$work/$log" >&2
    done
    exit 1
}

# Runs "$@" every 100 ms until it succeeds; fails with `what` after `seconds`.
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

# Waits for process `pid` to end and prints its exit status; fails after `seconds`.
exit_status_of() {
    local pid=$1 seconds=$2
    wait_for "$seconds" "process $pid to end" bash -c "! kill -0 $pid"
    local status=0
    wait "$pid" || status=$?
    echo "$status"
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

is_white() {
    local r g b
    read -r r g b <<<"$(colour_at "$1" "$2")"
    [ "$r" -gt 200 ] && [ "$g" -gt 200 ] && [ "$b" -gt 200 ]
}

# The lamp stays yellow over two shots apart by more than one blink (100 ms).
is_steady_yellow() {
    is_yellow "$1" "$2" && sleep 0.25 && is_yellow "$1" "$2"
}

# Screen position of a widget of the main window: "x y".
where() {
    awk -v name="$1" -v x="$window_x" -v y="$window_y" \
        '$1 == name { print $2 + x, $3 + y; found = 1 } END { exit !found }' "$work/map" \
        || fail "no widget named $1 in the window"
}

click() {
    local x y
    read -r x y <<<"$(where "$1")"
    xdotool mousemove --sync "$x" "$y" click 1
}

visible_window() {
    xdotool search --onlyvisible --name "$1" | head -n1 | grep .
}

# The X server, on a display number of its own choosing.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset -nolisten tcp 3>"$work/display" \
    2>"$work/xvfb.log" &
pids+=($!)
wait_for 20 "Xvfb to start" test -s "$work/display"
export DISPLAY=":$(head -n1 "$work/display")"

# The program copied into the work folder, so that its address and configuration files are ours.
cp "$panel_program" "$work/lumo-win"
unset LUMO_WIN_PORT

echo "x11 test: clicks against the simulator on $DISPLAY"
"$simulator" --trace --delay 50 --channels-file "$work/lumo-win.channels" >"$work/trace" &
pids+=($!)
wait_for 10 "the simulator's port" grep -q '^/dev/' "$work/trace"
port=$(head -n1 "$work/trace")
# Channel 2's receiver, from the file the panel reads.
address=$(grep -v '^#' "$work/lumo-win.channels" | sed -n 2p)

LUMO_WIN_PORT=$port "$work/lumo-win" >"$work/panel.log" 2>&1 &
panel=$!
pids+=($panel)
wait_for 30 "the main window" visible_window '^Lumo Win$'
window=$(visible_window '^Lumo Win$')
eval "$(xdotool getwindowgeometry --shell "$window" | sed 's/^/window_/')"
"$widget_map" "$window_WIDTH" "$window_HEIGHT" >"$work/map" 2>/dev/null \
    || fail "cannot lay out the window off screen"
window_x=$window_X
window_y=$window_Y

# The map must fit what is on the screen: channel 2 has a receiver, so its active button is white.
wait_for 10 "the white active button of channel 2" is_white $(where activeButton_2)

click activeButton_2
wait_for 10 "the query to reach receiver 2" grep -q "in  02 05 $address 02 .. 03" "$work/trace"
wait_for 10 "receiver 2 to report" grep -q "out 02 85 $address 00 .. 03" "$work/trace"

click lampButton_2
wait_for 10 "the switch command to reach receiver 2" \
    grep -q "in  02 05 $address 01 .. 03  .*switch on" "$work/trace"
wait_for 10 "receiver 2 to report its lamp on" grep -q "out 02 85 $address 01 .. 03" "$work/trace"
wait_for 10 "channel 2 to show a steady yellow lamp" is_steady_yellow $(where lampLED_2)
is_yellow $(where lampLED_1) && fail "channel 1 shows a lamp although nobody asked its receiver"

click exitButton
status=$(exit_status_of "$panel" 15)
[ "$status" -eq 0 ] || fail "the panel ended with status $status after the exit button, not 0"
[ -s "$work/lumo-win.cnf" ] || fail "no configuration file written"
tr -d ' \n' <"$work/lumo-win.cnf" | grep -q '"active":\[false,true,false,false\]' \
    || fail "the configuration does not keep channel 2 active: $(cat "$work/lumo-win.cnf")"
wait_for 5 "the simulator to see the line closed" grep -q 'the panel closed the line' "$work/trace"

echo "x11 test: no transmitter"
"$work/lumo-win" >"$work/panel.log" 2>&1 &
panel=$!
pids+=($panel)
wait_for 30 "the Error box" visible_window '^Error$'
visible_window '^Lumo Win$' && fail "the main window is shown although there is no transmitter"
xdotool windowfocus --sync "$(visible_window '^Error$')" key Return
status=$(exit_status_of "$panel" 15)
[ "$status" -eq 1 ] || fail "the panel ended with status $status without a transmitter, not 1"

echo "x11 test: passed"
