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

QString printableForLog(const QString &text, bool asciiOnly)
{
    QString printable;
    printable.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool control = u < 0x20 || u == 0x7F;
        if (asciiOnly && (control || u > 0x7F || u == '"' || u == '\\'))
            printable += QStringLiteral("\\x%1").arg(uint(u) & 0xFF, 2, 16, QLatin1Char('0'));
        else if (u == '\n')
            printable += QLatin1String("\\n");
        else if (u == '\r')
            printable += QLatin1String("\\r");
        else if (u == '\t')
            printable += QLatin1String("\\t");
        else if (control)
            printable += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        else if ((u >= 0x80 && u < 0xA0) || u == 0x2028 || u == 0x2029)
            printable += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
        else
            printable += c;
    }
    return printable;
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
