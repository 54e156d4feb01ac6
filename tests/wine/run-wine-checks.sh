#!/usr/bin/env bash
# The Windows program under Wine on Xvfb, against lumo-sim on a pseudo-terminal linked as COM5:
#  - the portable folder: window, first telegrams, lamp switch, menu and About, settings beside
#    the program and restored on a second start, idle CPU, memory and start-up time;
#  - without LUMO_WIN_PORT: the error box and exit status 1;
#  - lumo-sim hanging up and coming back;
#  - the installer, silently: start, per-user settings, restart, uninstall;
#  - the tests built for Windows, off screen.
# Prints one line per check; exits non-zero when a check fails. What Wine 8.0 cannot show is
# printed as "not possible under Wine", with the reason.
# Usage: run-wine-checks.sh WINDOWS_BUILD HOST_BUILD QT_FOR_WINDOWS
set -euo pipefail

build=$(cd "$1" && pwd)
host_build=$(cd "$2" && pwd)
qt=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
simulator=$host_build/sim/lumo-sim
widget_map=$host_build/tests/x11-widget-map
work=$(mktemp -d /tmp/lumo-wine-XXXXXX)
pids=()
trap 'end_processes; wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

fail() {
    fail_with_logs "wine checks" "$*" trace panel.log
}
passed() {
    echo "wine checks: PASS: $*"
}
not_possible() {
    echo "wine checks: not possible under Wine 8.0: $*"
}

# shellcheck source=tests/x11/lib.sh
. "$root/tests/x11/lib.sh"

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
unset QT_QPA_PLATFORM LUMO_WIN_PORT
start_xvfb
wineboot -i >"$work/wineboot.log" 2>&1 || fail "wineboot"
com5=$WINEPREFIX/dosdevices/com5
drive_c=$WINEPREFIX/drive_c

# The Windows path of a file here (Wine's drive Z: is the root folder).
windows_path() {
    echo "Z:${1//\//\\}"
}

# Starts lumo-sim with its trace in $work/TRACE, the addresses in CHANNELS, and links COM5 to it.
simulate() {
    local trace=$1 channels=$2
    shift 2
    start_simulator "$work/$trace" "$channels" --delay 50 "$@" || fail "lumo-sim did not start"
    ln -sfn "$port" "$com5"
}

# Wine 8.0 cannot read from a COM port that is a pseudo-terminal (see tests/wine/ptyserial.c):
# the panel and the serial probe run with a stand-in for a serial driver's wait preloaded.
gcc -O2 -shared -fPIC -o "$work/ptyserial.so" "$root/tests/wine/ptyserial.c" -ldl -lpthread \
    || fail "cannot build tests/wine/ptyserial.c"
serial_wine() {
    LD_PRELOAD="$work/ptyserial.so" wine "$@"
}

# Starts the program (a Windows path or a file here) under Wine; sets `panel`.
start_panel() {
    serial_wine "$@" >"$work/panel.log" 2>&1 &
    panel=$!
    pids+=($panel)
}

# The process id of the running lumo-win.exe (Wine's process for it, not the wine launcher).
windows_process() {
    pgrep -f 'lumo-win\.exe' | while read -r pid; do
        [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = lumo-win.exe ] && echo "$pid"
    done | head -n1 | grep .
}

# Seconds of CPU time (user and system) process `pid` has used.
cpu_seconds() {
    awk -v tick="$(getconf CLK_TCK)" '{ printf "%.2f", ($14 + $15) / tick }' "/proc/$1/stat"
}

# The telegrams lumo-sim received, "AA BB CC FF" (address and function), in order.
received() {
    grep '^ *[0-9.]* in  02 05 ' "$work/$1" | awk '{ print $5, $6, $7, $8 }'
}

# Whether this Wine delivers the completion routine that Qt Serial Port starts its reads from:
# tests/wine/serialwait.c on a pseudo-terminal with two bytes waiting. Sets `receive_problem`.
x86_64-w64-mingw32-gcc-posix -O1 -o "$work/serialwait.exe" "$root/tests/wine/serialwait.c" \
    || fail "cannot build tests/wine/serialwait.c"
python3 -c '
import os, pty, sys, time, tty
master, slave = pty.openpty()
tty.setraw(slave)
os.symlink(os.ttyname(slave), sys.argv[1])
os.write(master, b"\x02\x85")
time.sleep(30)' "$com5" &
pids+=($!)
wait_for 10 "the pseudo-terminal for the serial probe" test -L "$com5"
receive_problem=
if ! serial_wine "$work/serialwait.exe" >"$work/serialwait.log" 2>&1; then
    receive_problem="$(tr -d '\r' <"$work/serialwait.log")"
fi
kill "${pids[-1]}" && rm -f "$com5"

# --- The portable folder --------------------------------------------------------------------
portable=$work/portable
cp -r "$build/portable/lumo-win" "$portable"
printf '{"active":[true,false,true,false]}\n' >"$portable/lumo-win.cnf"
simulate trace "$portable/lumo-win.channels" --lamps-on 1
mapfile -t addresses < <(grep -v '^#' "$portable/lumo-win.channels" | head -n4) # "12 34 56"

started=$(date +%s.%N)
LUMO_WIN_PORT=COM5 start_panel "$portable/lumo-win.exe"
map_main_window
start_ms=$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%d", (b - a) * 1000 }')
passed "the window appears (${start_ms} ms from start to window, Wine's start included)"
mkdir -p "$build/images"
import -window "$window" "$build/images/lumo-win-wine.png"

wait_for 10 "the first telegrams" bash -c "[ \$(grep -c ' in  02 05 ' '$work/trace') -ge 2 ]"
first=$(received trace | head -n2 | tr '\n' ',')
[ "$first" = "${addresses[0]} 02,${addresses[2]} 02," ] \
    || fail "the first telegrams are not the stored active channels' queries: $first"
passed "the stored active channels' queries (receivers 1 and 3) are the first telegrams"

# A report lights the lamp: only where the port is read (see the README's Windows section).
lamp_lit() {
    for _ in $(seq 30); do
        is_yellow $(where lampLED_1) && return 0
        sleep 0.2
    done
    return 1
}
wait_for 10 "receiver 1 to report" grep -q "out 02 85 ${addresses[0]} " "$work/trace"
if [ -z "$receive_problem" ]; then
    lamp_lit || fail "receiver 1's report does not light its lamp"
    passed "receiver 1's report lights its lamp"
else
    not_possible "a report lighting the lamp. lumo-sim answers, but the panel never reads:" \
        "Qt Serial Port starts reading from the completion routine of its" \
        "IOCTL_SERIAL_WAIT_ON_MASK call, which this Wine completes without running it," \
        "and the stand-in in tests/wine/ptyserial.c did not take hold" \
        "(tests/wine/serialwait.c: $receive_problem)"
fi

# The buttons are disabled while a query waits for its report (all of them, when no report can
# be read here, until the retries give up): click until the telegram is on the line.
switch_sent() {
    grep -q " in  02 05 ${addresses[2]} 01 .. 03" "$work/trace" && return 0
    click lampButton_3
    sleep 2
    grep -q " in  02 05 ${addresses[2]} 01 .. 03" "$work/trace"
}
wait_for 3 "the switch telegram" switch_sent # 30 tries of some 2 s
passed "a click on channel 3's lamp switch sends the switch telegram"

# The menu and the About box open over the window and close again.
open_and_close() {
    local button=$1 title=$2
    click "$button"
    wait_for 20 "the $title window" visible_window "^$title\$"
    # Xvfb has no window manager: xdotool's complaint about the focus says nothing here.
    xdotool key --window "$(visible_window "^$title\$")" Escape 2>/dev/null
    wait_for 10 "the $title window to close" bash -c "! xdotool search --onlyvisible --name '^$title\$'"
}
open_and_close sideButton Dialog
open_and_close vornaButton 'About ZUL'
passed "the menu and the About box open and close"

geometry=$(xdotool getwindowgeometry "$window" | tail -n +2 | tr -s ' ' | tr '\n' ' ')
sleep 10 # settled: the idle figures
pid=$(windows_process) || fail "no lumo-win.exe process"
before=$(cpu_seconds "$pid")
server=$(pgrep -x "wineserver(64)?" | head -n1)
server_before=$(cpu_seconds "$server")
sleep 10
idle=$(awk -v a="$before" -v b="$(cpu_seconds "$pid")" 'BEGIN { printf "%.1f", (b - a) * 10 }')
server_idle=$(awk -v a="$server_before" -v b="$(cpu_seconds "$server")" \
    'BEGIN { printf "%.1f", (b - a) * 10 }')
memory=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")
passed "idle: lumo-win.exe ${idle} % CPU, wineserver ${server_idle} % over 10 s; ${memory} kB resident"

click exitButton
exit_status_of "$panel" 30
[ "$status" -eq 0 ] || fail "the panel ended with status $status after the exit button"
tr -d ' \r\n' <"$portable/lumo-win.cnf" | grep -q '"active":\[true,false,true,false\]' \
    || fail "lumo-win.cnf beside the program does not keep the active flags: $(cat "$portable/lumo-win.cnf")"
grep -q winGeometry "$portable/lumo-win.cnf" || fail "lumo-win.cnf keeps no window geometry"
passed "closing writes lumo-win.cnf beside the .exe"

mv "$work/trace" "$work/trace.first"
kill "$sim" # lumo-sim's next run makes a new pseudo-terminal
simulate trace "$portable/lumo-win.channels"
started=$(date +%s.%N)
LUMO_WIN_PORT=COM5 start_panel "$portable/lumo-win.exe"
map_main_window
start_ms=$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%d", (b - a) * 1000 }')
again=$(xdotool getwindowgeometry "$window" | tail -n +2 | tr -s ' ' | tr '\n' ' ')
[ "$again" = "$geometry" ] || fail "the second start does not restore the geometry: $again, not $geometry"
wait_for 10 "the first telegrams" bash -c "[ \$(grep -c ' in  02 05 ' '$work/trace') -ge 2 ]"
first=$(received trace | head -n2 | tr '\n' ',')
[ "$first" = "${addresses[0]} 02,${addresses[2]} 02," ] \
    || fail "after a restart, the first telegrams are not the active channels' queries: $first"
passed "a second start restores the geometry and the active flags (${start_ms} ms to window)"

# --- lumo-sim hangs up and comes back ---------------------------------------------------------
kill "$sim"
wait_for 20 "the error box after the hang-up" visible_window '^Error$'
sleep 1
boxes=$(xdotool search --onlyvisible --name '^Error$' | wc -l)
[ "$boxes" -eq 1 ] || fail "$boxes error boxes after the hang-up, not one"
xdotool key --window "$(visible_window '^Error$')" Return 2>/dev/null
mv "$work/trace" "$work/trace.lost"
simulate trace "$portable/lumo-win.channels"
wait_for 20 "the panel to take the port back" grep -q 'the panel opened the line' "$work/trace"
wait_for 10 "the queries on the new line" grep -q " in  02 05 ${addresses[0]} 02 " "$work/trace"
passed "after lumo-sim hangs up: one error box; the panel takes the port back when it returns"
click exitButton
exit_status_of "$panel" 30

# --- No transmitter ---------------------------------------------------------------------------
start_panel "$portable/lumo-win.exe"
wait_for 60 "the error box" visible_window '^Error$'
visible_window '^Lumo Win$' && fail "the main window is shown although there is no transmitter"
xdotool key --window "$(visible_window '^Error$')" Return 2>/dev/null
exit_status_of "$panel" 30
[ "$status" -eq 1 ] || fail "without LUMO_WIN_PORT the panel ended with status $status, not 1"
passed "without LUMO_WIN_PORT: the error box, then exit status 1"
not_possible "finding the transmitter by its USB vendor and product ids: a COM port made of a" \
    "pseudo-terminal has none; nor a real adapter's unplug"

# --- The installer ----------------------------------------------------------------------------
installer=$(ls "$build"/lumo-win-*-setup.exe | head -n1)
wine "$installer" /S >"$work/installer.log" 2>&1 || fail "the silent install failed"
installed="$drive_c/Program Files/Lumo Win"
wait_for 30 "the installed program" test -f "$installed/lumo-win.exe"
link=$(find "$drive_c" -name 'Lumo Win.lnk' -path '*Start Menu*' | head -n1)
[ -n "$link" ] || fail "no Start-menu entry"
cp "$portable/lumo-win.channels" "$installed/"
# Program Files takes no new file without elevation on Windows; Wine does not enforce that, so
# the folder is made immutable for the test (root ignores the permission bits).
chattr +i "$installed" || fail "cannot make the install folder read-only (chattr)"
trap 'chattr -i "$installed" 2>/dev/null || true; end_processes; wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
user_settings=$(find "$drive_c/users" -path '*AppData/Roaming*' -name lumo-win.cnf 2>/dev/null | head -n1)
[ -z "$user_settings" ] || fail "settings already in the user's folder before the first start"
mv "$work/trace" "$work/trace.portable"
kill "$sim"
simulate trace "$work/installed.channels" # the same addresses as the copy installed
LUMO_WIN_PORT=COM5 start_panel 'C:\Program Files\Lumo Win\lumo-win.exe'
map_main_window
click activeButton_2
wait_for 10 "the query to receiver 2" grep -q " in  02 05 ${addresses[1]} 02 " "$work/trace"
click exitButton
exit_status_of "$panel" 30
[ "$status" -eq 0 ] || fail "the installed panel ended with status $status"
user_settings=$(find "$drive_c/users" -path '*AppData/Roaming*' -name lumo-win.cnf | head -n1)
[ -n "$user_settings" ] || fail "the installed program wrote no settings to the user's folder"
tr -d ' \r\n' <"$user_settings" | grep -q '"active":\[false,true,false,false\]' \
    || fail "the user's settings do not keep channel 2 active: $(cat "$user_settings")"
# A new lumo-sim and trace: emptying a file lumo-sim still writes would leave a hole of zeros.
mv "$work/trace" "$work/trace.installed"
kill "$sim"
simulate trace "$work/installed.channels"
LUMO_WIN_PORT=COM5 start_panel 'C:\Program Files\Lumo Win\lumo-win.exe'
map_main_window
wait_for 20 "the query to receiver 2 after the restart" \
    grep -q " in  02 05 ${addresses[1]} 02 " "$work/trace"
click exitButton
exit_status_of "$panel" 30
passed "the installed program keeps its settings in ${user_settings#"$drive_c"/} across a restart"
chattr -i "$installed"
rm -f "$installed/lumo-win.channels"
wine "$installed/uninstall.exe" /S >>"$work/installer.log" 2>&1 || fail "the silent uninstall failed"
wait_for 30 "the uninstaller to remove the program" bash -c "! test -e '$installed/lumo-win.exe'"
[ -f "$user_settings" ] || fail "the uninstaller removed the user's settings"
[ -e "$link" ] && fail "the uninstaller left the Start-menu entry"
passed "the installer's silent install, start, restart and uninstall; the settings stay"

# --- The tests built for Windows --------------------------------------------------------------
paths="$(windows_path "$qt/bin");$(windows_path /usr/lib/gcc/x86_64-w64-mingw32/12-posix)"
paths+=";$(windows_path /usr/x86_64-w64-mingw32/lib)"
failed=0
for test in "$build"/tests/tst_*.exe; do
    name=$(basename "$test" .exe)
    if (cd "$root" && WINEPATH=$paths QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH="$qt/plugins" \
        timeout 300 wine "$test" -o "$(windows_path "$work/$name.log"),txt" >"$work/$name.out" 2>&1); then
        passed "$name under Wine ($(tr -d '\r' <"$work/$name.log" | grep -o 'Totals: .*'))"
    else
        echo "wine checks: FAIL: $name" >&2
        cat "$work/$name.out" "$work/$name.log" 2>/dev/null | sed 's/^/  /' >&2
        failed=1
    fi
done
[ "$failed" -eq 0 ] || fail "tests failed under Wine"
echo "wine checks: all passed"
