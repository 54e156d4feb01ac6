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
work=$(mktemp -d /tmp/lumo-x11-XXXXXX)
pids=()
trap 'end_processes; rm -rf "$work"' EXIT

fail() {
    fail_with_logs "x11 test" "$*" trace panel.log
}

# shellcheck source=tests/x11/lib.sh
. "$(dirname "$0")/lib.sh"

is_white() {
    local r g b
    read -r r g b <<<"$(colour_at "$1" "$2")"
    [ "$r" -gt 200 ] && [ "$g" -gt 200 ] && [ "$b" -gt 200 ]
}

# The suite runs with the offscreen platform; this test needs the X server's.
unset QT_QPA_PLATFORM
start_xvfb
# The program copied into the work folder, so that its address and configuration files are ours.
cp "$panel_program" "$work/lumo-win"
unset LUMO_WIN_PORT

echo "x11 test: clicks against the simulator on $DISPLAY"
start_simulator "$work/trace" "$work/lumo-win.channels" --delay 50 || fail "lumo-sim did not start"
# Channel 2's receiver, from the file the panel reads.
address=$(grep -v '^#' "$work/lumo-win.channels" | sed -n 2p)

LUMO_WIN_PORT=$port "$work/lumo-win" >"$work/panel.log" 2>&1 &
panel=$!
pids+=($panel)
map_main_window

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
exit_status_of "$panel" 15
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
exit_status_of "$panel" 15
[ "$status" -eq 1 ] || fail "the panel ended with status $status without a transmitter, not 1"

echo "x11 test: passed"
