#!/usr/bin/python3
"""Reads the running panel through the desktop's accessibility bus, as a screen reader does.

Checks the names and descriptions of the main window's widgets, then presses channel 2's active
button and lamp switch through their accessible actions and waits until the description changes
announced on the bus tell that the receiver's reports arrived. Exits 0 on success, 1 on failure.
Usage: screenreader.py APPLICATION_NAME
"""
import sys
import time

import pyatspi
from gi.repository import GLib

NAMES = ["Menu", "About", "Exit"] + [
    "Channel %d %s" % (n, what) for n in range(1, 5) for what in ("lamp", "lamp switch", "active")
]
# What channel 2 says before anything happened, and after each press once its receiver reported.
START = {"Channel 2 lamp": "Lamp off", "Channel 2 lamp switch": "Switched off",
         "Channel 2 active": "Not in use"}
STEPS = [
    ("Channel 2 active", [("Channel 2 lamp", "Waiting for the receiver"),
                          ("Channel 2 active", "In use"),
                          ("Channel 2 lamp", "Lamp off")]),
    ("Channel 2 lamp switch", [("Channel 2 lamp", "Waiting for the receiver"),
                               ("Channel 2 lamp switch", "Switched on"),
                               ("Channel 2 lamp", "Lamp on")]),
]


def fail(message):
    print("screen reader check: " + message, file=sys.stderr)
    sys.exit(1)


def find_application(name, seconds=30):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        for application in pyatspi.Registry.getDesktop(0):
            if application is not None and application.name == name:
                return application
        time.sleep(0.2)
    fail("no application named %r on the accessibility bus" % name)


def named_descendants(node, found):
    for child in node:
        if child is None:
            continue
        if child.name:
            found[child.name] = child
        named_descendants(child, found)
    return found


def main():
    application = find_application(sys.argv[1])
    widgets = {}
    # The window's tree appears on the bus a little after the application does.
    end = time.monotonic() + 30
    while not all(name in widgets for name in NAMES) and time.monotonic() < end:
        time.sleep(0.2)
        widgets = named_descendants(application, {})
    missing = [name for name in NAMES if name not in widgets]
    if missing:
        fail("unnamed or missing: %s; named: %s" % (missing, sorted(widgets)))
    for name in NAMES:
        role = widgets[name].getRoleName()
        expected = "image" if name.endswith(" lamp") else "push button"
        if role != expected:
            fail("%s is a %r, not a %r" % (name, role, expected))
    for name, description in START.items():
        if widgets[name].description != description:
            fail("%s says %r, not %r" % (name, widgets[name].description, description))

    heard = []
    pyatspi.Registry.registerEventListener(
        lambda event: heard.append((event.source.name, event.source.description)),
        "object:property-change:accessible-description")
    steps = list(STEPS)
    outcome = {"failure": None}
    deadline = [time.monotonic() + 20]

    def press(name):
        action = widgets[name].queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        if "Press" not in names:
            outcome["failure"] = "%s has no Press action, only %s" % (name, names)
            pyatspi.Registry.stop()
            return
        action.doAction(names.index("Press"))

    def poll():
        expected = steps[0][1]
        if heard[:len(expected)] == expected:
            del heard[:len(expected)]
            steps.pop(0)
            if not steps:
                pyatspi.Registry.stop()
                return False
            deadline[0] = time.monotonic() + 20
            press(steps[0][0])
        elif time.monotonic() > deadline[0]:
            outcome["failure"] = "after pressing %s heard %s, not %s" % (steps[0][0], heard,
                                                                          expected)
            pyatspi.Registry.stop()
            return False
        return True

    def begin():
        press(steps[0][0])
        GLib.timeout_add(50, poll)
        return False

    GLib.idle_add(begin)
    pyatspi.Registry.start()
    if outcome["failure"]:
        fail(outcome["failure"])
    print("screen reader check: names, descriptions and their changes heard on the bus")


if __name__ == "__main__":
    main()
