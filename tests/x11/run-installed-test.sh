#!/usr/bin/env bash
# The installed panel, from a tree it cannot write, on a real X server against lumo-sim: it reads
# the receiver addresses from the user's configuration folder, keeps its settings there across a
# restart (the log naming that file), and writes nothing beside the program.
# The tree comes from `cmake --install` of BUILD_DIR, or from the package DEB when given.
# Needs root for a read-only bind mount in a private mount namespace (unshare -m); exits 77
# (skipped) without it.
# Usage: run-installed-test.sh BUILD_DIR LUMO_SIM X11_WIDGET_MAP [DEB]
set -euo pipefail

build=$1
simulator=$2
widget_map=$3
deb=${4:-}

if [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null; then
    echo "installed test: skipped: needs root and unshare for a read-only bind mount"
    exit 77
fi
if [ -z "${LUMO_PRIVATE_MOUNTS:-}" ]; then
    # Anything mounted from here on is seen by this test alone, and gone when it ends.
    LUMO_PRIVATE_MOUNTS=1 exec unshare -m --propagation private "$0" "$@" \
        || { echo "installed test: skipped: unshare -m is not allowed here"; exit 77; }
fi

work=$(mktemp -d /tmp/lumo-installed-XXXXXX)
root=$work/root
pids=()
trap 'end_processes; umount "$root" 2>/dev/null; rm -rf "$work"' EXIT

fail() {
    fail_with_logs "installed test" "$*" trace panel.log
}

# shellcheck source=tests/x11/lib.sh
. "$(dirname "$0")/lib.sh"

mkdir -p "$root"
if [ -n "$deb" ]; then
    dpkg-deb -x "$deb" "$root"
else
    DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
fi
program=$root/usr/bin/lumo-win
[ -x "$program" ] || fail "no program at $program"
mount --bind "$root" "$root"
mount -o remount,bind,ro "$root"
touch "$root/usr/bin/probe" 2>/dev/null && fail "the installed tree is still writable"
listing() { (cd "$root" && find . | sort); }
before=$(listing)

export XDG_CONFIG_HOME=$work/config
settings=$XDG_CONFIG_HOME/lumo-win/lumo-win.cnf
mkdir -p "$XDG_CONFIG_HOME/lumo-win"
unset QT_QPA_PLATFORM LUMO_WIN_PORT
export QT_LOGGING_RULES="default.debug=true"
start_xvfb
start_simulator "$work/trace" "$XDG_CONFIG_HOME/lumo-win/lumo-win.channels" --delay 50 \
    || fail "lumo-sim did not start"
address=$(grep -v '^#' "$XDG_CONFIG_HOME/lumo-win/lumo-win.channels" | sed -n 2p)

# Started by its absolute path, as the desktop entry does.
run_panel() {
    LUMO_WIN_PORT=$port "$program" >"$work/panel.log" 2>&1 &
    panel=$!
    pids+=($panel)
    map_main_window
}

close_panel() {
    click exitButton
    exit_status_of "$panel" 15
    [ "$status" -eq 0 ] || fail "the panel ended with status $status, not 0"
    grep -qF "Start using config file $settings" "$work/panel.log" \
        || fail "the log does not name $settings"
    echo "installed test: the log says: $(grep -F 'Start using config file' "$work/panel.log")"
}

echo "installed test: $program, read-only, on $DISPLAY"
run_panel
click activeButton_2
wait_for 10 "the query to reach receiver 2 (addresses from the per-user file)" \
    grep -q "in  02 05 $address 02 .. 03" "$work/trace"
close_panel
[ -s "$settings" ] || fail "no settings written to $settings"
tr -d ' \n' <"$settings" | grep -q '"active":\[false,true,false,false\]' \
    || fail "the settings do not keep channel 2 active: $(cat "$settings")"

echo "installed test: restart"
queries=$(grep -c "in  02 05 $address 02 .. 03" "$work/trace")
run_panel
# Channel 2 comes back active, so it asks its receiver at once, unasked by any click.
wait_for 10 "channel 2 to ask its receiver after the restart" \
    bash -c "[ \$(grep -c 'in  02 05 $address 02 .. 03' '$work/trace') -gt $queries ]"
close_panel

[ "$(listing)" = "$before" ] || fail "files appeared beside the program: $(diff <(echo "$before") <(listing))"
echo "installed test: passed"
