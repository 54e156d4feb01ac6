#!/usr/bin/env bash
# The panel as a screen reader meets it: on a private Xvfb and D-Bus session, with Qt's bridge
# to the desktop's accessibility bus switched on, screenreader.py reads the widgets' names and
# descriptions over AT-SPI and works channel 2 against lumo-sim through the accessible actions.
# Exits 77 (skipped) when the accessibility bus, pyatspi, dbus-run-session or Xvfb is missing.
# Usage: run-atspi-test.sh LUMO_WIN LUMO_SIM
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3 # Debian's, which python3-pyatspi installs into
for tool in Xvfb dbus-run-session "$python"; do
    command -v "$tool" >/dev/null || { echo "atspi test: skipped, $tool is missing"; exit 77; }
done
if [ ! -x /usr/libexec/at-spi-bus-launcher ] || ! "$python" -c 'import pyatspi' 2>/dev/null; then
    echo "atspi test: skipped, at-spi2-core or python3-pyatspi is missing"
    exit 77
fi
# A D-Bus session of our own, which starts the accessibility bus when it is first asked for.
if [ -z "${LUMO_ATSPI_SESSION:-}" ]; then
    LUMO_ATSPI_SESSION=1 exec dbus-run-session -- "$0" "$@" \
        2> >(grep -vE 'fd limit|ctivat|SpiRegistry' >&2)
fi

panel_program=$1
simulator=$2
work=$(mktemp -d /tmp/lumo-atspi-XXXXXX)
pids=()
trap 'end_processes; rm -rf "$work"' EXIT

fail() {
    echo "atspi test: $*" >&2
    [ -s "$work/panel.log" ] && sed 's|^|  panel.log: |' "$work/panel.log" >&2
    exit 1
}

# shellcheck source=tests/x11/lib.sh
. "$here/../x11/lib.sh"

unset QT_QPA_PLATFORM LUMO_WIN_PORT
start_xvfb
start_simulator "$work/trace" "$work/lumo-win.channels" --delay 50 || fail "lumo-sim did not start"
cp "$panel_program" "$work/lumo-win"
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 LUMO_WIN_PORT=$port "$work/lumo-win" >"$work/panel.log" 2>&1 &
panel=$!
pids+=("$panel")
"$python" "$here/screenreader.py" lumo-win || fail "the screen reader's view is wrong"

# With its bridge to the bus the panel still ends cleanly.
kill -TERM "$panel"
exit_status_of "$panel" 15
[ "$status" -eq 0 ] || fail "the panel ended with status $status"
