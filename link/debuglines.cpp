#include "debuglines.h"

#include <QDebug>

namespace {
const char *const Texts[] = {"Address not found",
                             "Invalid CRC, ignored for now",
                             "Received invalid command",
                             "Ignored stale ON message",
                             "Ignored stale OFF message",
                             "Received invalid sized telegram",
                             "Start using config file",
                             "Opened serial port",
                             "Initialize"};
static_assert(std::size(Texts) == size_t(DebugLine::Initialize) + 1, "one text for each line");

thread_local std::optional<DebugLine> beingWritten;
} // namespace

QLatin1String debugLineText(DebugLine line)
{
    return QLatin1String(Texts[int(line)]);
}

void writeDebugLine(DebugLine line, const QString &detail)
{
    beingWritten = line;
    if (detail.isNull())
        qDebug().noquote() << debugLineText(line);
    else
        qDebug().noquote() << debugLineText(line) << detail;
    beingWritten.reset();
}

std::optional<DebugLine> debugLineBeingWritten()
{
    return beingWritten;
}
