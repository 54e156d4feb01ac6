#pragma once

#include "link/debuglines.h"
#include "link/linktrace.h"
#include "link/telegram.h"

#include <QString>

#include <array>
#include <functional>
#include <optional>

// Keeps the log readable under a flood from the radio: each of the protocol's anomaly lines is
// written at most Burst times at once and LinesPerSecond times a second, the rest are counted,
// and once a second a report says how many of which kind were left out. Lines are told apart
// by their identity (see debuglines.h); any other line is "other". Lines that could not be written at all (the log would
// block) are counted too. Widget-free; the clock is injected so that tests can drive it.
class LogLimiter
{
public:
    // Milliseconds on a clock that never goes back.
    using Clock = std::function<qint64()>;

    // Of each kind. Four at once is the panel's own burst, one per channel (four receivers that
    // all send bad checksums at start-up); ordinary traffic never loses a line.
    static constexpr int Burst = ChannelCount;
    static constexpr int LinesPerSecond = 10;
    static constexpr qint64 ReportPeriodMs = 1000;

    explicit LogLimiter(Clock clock);

    // Whether `line` (or the `trace` line) may be written now. A line held back is counted for
    // the next report. The lumo.link trace is held as the anomaly lines are, each of its kinds
    // on its own; other lines are always admitted.
    bool admit(std::optional<DebugLine> line, std::optional<TraceLine> trace = std::nullopt);
    // Counts a line that was admitted but could not be written.
    void countLeftOut(std::optional<DebugLine> line, std::optional<TraceLine> trace = std::nullopt);
    // Whether a second has passed since the first line left out that has not been reported.
    bool reportDue() const;
    // Says how many lines of which kind were left out since the last report; empty when none.
    QString report() const;
    // The report was written: start counting afresh.
    void reported();

private:
    // The kinds are the anomaly lines, the trace's, then the rest.
    static constexpr int OtherLines = AnomalyLineCount + TraceLineCount;
    static int kindOf(std::optional<DebugLine> line, std::optional<TraceLine> trace);

    struct Kind
    {
        // Until when the lines written use up the allowance: each takes 1/LinesPerSecond s of
        // it, and a line is written while this stays within Burst of them from now.
        qint64 busyUntil = 0;
        qint64 leftOut = 0;
    };

    Clock clock;
    std::array<Kind, OtherLines + 1> kinds;
    qint64 firstLeftOutAt = -1; // -1 while nothing is counted
};
