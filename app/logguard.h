#pragma once

#include "link/loglimiter.h"

// While it lives, every line of the debug log passes through a LogLimiter on its way to the
// toolkit's own output, and a line is written only when the log can take it without waiting:
// a stderr that nobody reads must not stop the event loop. Lines left out are counted and
// reported once a second. One guard at a time, made on the GUI thread, best before the
// application object so that the toolkit's own start-up lines pass it too.
class LogGuard
{
public:
    // `clock` (milliseconds, never going back) defaults to the steady clock; tests pass their own.
    explicit LogGuard(LogLimiter::Clock clock = {});
    ~LogGuard();
    LogGuard(const LogGuard &) = delete;
    LogGuard &operator=(const LogGuard &) = delete;

    // Whether a write of one short line to stderr would return at once.
    static bool stderrAcceptsLine();
};
