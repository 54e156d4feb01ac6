#include "loglimiter.h"

#include <QStringList>

#include <algorithm>
#include <utility>

LogLimiter::LogLimiter(Clock clock)
    : clock(std::move(clock))
{}

namespace {
const char *const TraceNames[] = {"lumo.link: sent", "lumo.link: received", "lumo.link"};
} // namespace

int LogLimiter::kindOf(std::optional<DebugLine> line, std::optional<TraceLine> trace)
{
    if (trace)
        return AnomalyLineCount + int(*trace);
    return line && isAnomaly(*line) ? int(*line) : OtherLines;
}

bool LogLimiter::admit(std::optional<DebugLine> line, std::optional<TraceLine> trace)
{
    const int index = kindOf(line, trace);
    if (index == OtherLines)
        return true;
    Kind &kind = kinds[size_t(index)];
    const qint64 now = clock();
    constexpr qint64 spacing = 1000 / LinesPerSecond;
    const qint64 busyUntil = std::max(kind.busyUntil, now) + spacing;
    if (busyUntil - now <= Burst * spacing) {
        kind.busyUntil = busyUntil;
        return true;
    }
    countLeftOut(line, trace);
    return false;
}

void LogLimiter::countLeftOut(std::optional<DebugLine> line, std::optional<TraceLine> trace)
{
    ++kinds[size_t(kindOf(line, trace))].leftOut;
    if (firstLeftOutAt < 0)
        firstLeftOutAt = clock();
}

bool LogLimiter::reportDue() const
{
    return firstLeftOutAt >= 0 && clock() - firstLeftOutAt >= ReportPeriodMs;
}

QString LogLimiter::report() const
{
    if (firstLeftOutAt < 0)
        return QString();
    const qint64 period = clock() - firstLeftOutAt;
    QStringList counts;
    for (int index = 0; index <= OtherLines; ++index) {
        const qint64 count = kinds[size_t(index)].leftOut;
        if (count == 0)
            continue;
        if (index == OtherLines)
            counts << QStringLiteral("%1 other").arg(count);
        else if (index >= AnomalyLineCount)
            counts << QStringLiteral("%1 \"%2\"")
                          .arg(count)
                          .arg(QLatin1String(TraceNames[index - AnomalyLineCount]));
        else
            counts << QStringLiteral("%1 \"%2\"").arg(count).arg(debugLineText(DebugLine(index)));
    }
    return QStringLiteral("Log lines left out in the last %1 s: %2")
        .arg(double(period) / 1000.0, 0, 'f', 1)
        .arg(counts.join(QStringLiteral(", ")));
}

void LogLimiter::reported()
{
    for (Kind &kind : kinds)
        kind.leftOut = 0;
    firstLeftOutAt = -1;
}
