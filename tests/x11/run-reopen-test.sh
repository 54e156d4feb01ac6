#!/usr/bin/env bash
# The panel on a real X server (Xvfb) takes the transmitter back after its line was lost.
# LUMO_WIN_PORT names a symbolic link; each time lumo-sim's line hangs up, the link is re-pointed
# to a new lumo-sim's pseudo-terminal:
#  1. the "Error" box is dismissed first (the About box and the menu still work while the panel
#     waits), then the line comes back;
#  2. the line comes back while the box is still open, and the box is dismissed afterwards.
# Each time the panel must reopen within 2 s, channel 2's query must be the first telegram on the
# new line, and the buttons must work. Ends with the exit button: status 0, settings saved.
# Usage: run-reopen-test.sh LUMO_WIN LUMO_SIM X11_WIDGET_MAP
set -euo pipefail

panel_program=$1
simulator=$2
widget_map=$3
work=$(mktemp -d /tmp/lumo-x11-reopen-XXXXXX)
pids=()
trap 'end_processes; rm -rf "$work"' EXIT

fail() {
    fail_with_logs "x11 reopen test" "$*" trace1 trace2 trace3 panel.log
}

# shellcheck source=tests/x11/lib.sh
. "$(dirname "$0")/lib.sh"

# Starts a lumo-sim with its trace in $work/NAME. Sets `port` and `sim`.
start_line() {
    start_simulator "$work/$1" "$work/lumo-win.channels" --delay 50 \
        || fail "lumo-sim did not start ($1)"
}

now() {
    date +%s.%N
}

# Re-points the link to `port` and waits for the panel to open the line (trace `1`); checks the
# time, and that the queries of the active channels (addresses `2`...) come first, answered.
bring_back() {
    local trace=$1 from expected
    shift
    from=$(now)
    ln -sfn "$port" "$work/port"
    wait_for 5 "the panel to reopen the line ($trace)" grep -q 'the panel opened the line' \
        "$work/$trace"
    latency=$(awk -v a="$from" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }')
    echo "x11 reopen test: reopened after ${latency} s"
    awk -v t="$latency" 'BEGIN { exit !(t < 2) }' || fail "reopened only after $latency s"
    expected="$(printf '%s ' "$@" | tr -d ' ' | sed 's/\(......\)/\1 /g')"
    wait_for 5 "the first telegrams on the new line" \
        bash -c "[ \$(grep -c '^ *[0-9.]* in  02 ' '$work/$trace') -ge $# ]"
    # Address bytes of each query, in order.
    local got
    got=$(grep '^ *[0-9.]* in  02 ' "$work/$trace" | head -n $# \
        | awk '$4 == "05" && $8 == "02" { printf "%s%s%s ", $5, $6, $7 }')
    [ "$got" = "$expected" ] \
        || fail "the first telegrams on the new line are not the active channels' queries: $got"
    for address in "$@"; do
        wait_for 5 "receiver $address to report" grep -q "out 02 85 $address .. .. 03" \
            "$work/$trace"
    done
}

# The line goes (lumo-sim stopped: it hangs up); the panel shows its box. The link goes first:
# the freed terminal's number may be given to another program's terminal meanwhile (tests run
# side by side), and the panel must not take that one for its transmitter.
lose_line() {
    rm -f "$work/port"
    kill "$1"
    wait_for 10 "the Error box" visible_window '^Error$'
}

dismiss() {
    xdotool windowfocus --sync "$(visible_window "$1")" key "$2"
    wait_for 10 "the box $1 to close" bash -c "! xdotool search --onlyvisible --name '$1' | grep -q ."
}

unset QT_QPA_PLATFORM
start_xvfb
cp "$panel_program" "$work/lumo-win"
unset LUMO_WIN_PORT

start_line trace1
sim1=$sim
ln -sfn "$port" "$work/port"
address1=$(grep -v '^#' "$work/lumo-win.channels" | sed -n 1p)
address2=$(grep -v '^#' "$work/lumo-win.channels" | sed -n 2p)

LUMO_WIN_PORT=$work/port QT_LOGGING_RULES=lumo.link.debug=true "$work/lumo-win" \
    >"$work/panel.log" 2>&1 &
panel=$!
pids+=("$panel")
map_main_window
click activeButton_2
wait_for 10 "receiver 2 to report" grep -q "out 02 85 $address2 00 .. 03" "$work/trace1"

echo "x11 reopen test: box dismissed, then the line back"
start_line trace2
lose_line "$sim1"
sim2=$sim
dismiss '^Error$' Return
# Waiting: no second box, and the About box and the menu work.
click vornaButton
wait_for 10 "the About box" visible_window '^About'
dismiss '^About' Escape
click sideButton
wait_for 10 "the menu" visible_window '^Dialog$'
dismiss '^Dialog$' Escape
visible_window '^Error$' && fail "a second Error box while waiting"
bring_back trace2 "$address2"
click lampButton_2
wait_for 10 "the switch command to reach receiver 2" \
    grep -q "in  02 05 $address2 01 .. 03" "$work/trace2"
wait_for 10 "channel 2 to show a steady yellow lamp" is_steady_yellow $(where lampLED_2)
click activeButton_1
wait_for 10 "the query to reach receiver 1" grep -q "in  02 05 $address1 02 .. 03" "$work/trace2"
wait_for 10 "receiver 1 to report" grep -q "out 02 85 $address1 .. .. 03" "$work/trace2"

echo "x11 reopen test: the line back while the box is open, the box dismissed afterwards"
start_line trace3
lose_line "$sim2"
bring_back trace3 "$address1" "$address2"
visible_window '^Error$' >/dev/null || fail "the Error box went away by itself"
dismiss '^Error$' Return
click lampButton_2
# The new receiver reported its lamp off: the switch turns it on.
wait_for 10 "the switch command to reach receiver 2" \
    grep -q "in  02 05 $address2 01 .. 03" "$work/trace3"
click activeButton_1
wait_for 10 "the query to reach receiver 1" grep -q "in  02 05 $address1 02 .. 03" "$work/trace3"
wait_for 10 "receiver 1 to report" grep -q "out 02 85 $address1 .. .. 03" "$work/trace3"

[ "$(grep -c '^Waiting for the transmitter' "$work/panel.log")" -le 2 ] \
    || fail "more than one debug line per lost line while waiting"
grep -q '^lumo.link: reopened ' "$work/panel.log" || fail "the trace does not show the reopening"

click exitButton
exit_status_of "$panel" 15
[ "$status" -eq 0 ] || fail "the panel ended with status $status after the exit button, not 0"
tr -d ' \n' <"$work/lumo-win.cnf" | grep -q '"active":\[true,true,false,false\]' \
    || fail "the configuration does not keep channels 1 and 2 active: $(cat "$work/lumo-win.cnf")"
echo "x11 reopen test: passed"
