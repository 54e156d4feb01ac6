#include "linktrace.h"

#include <algorithm>

Q_LOGGING_CATEGORY(lumoLink, "lumo.link", QtWarningMsg)

namespace {

thread_local std::optional<TraceLine> beingWritten;

// "02 05 12 34 56 02 4B 03"
QString hexBytes(const quint8 *bytes, int size)
{
    return QString::fromLatin1(
        QByteArray::fromRawData(reinterpret_cast<const char *>(bytes), size).toHex(' ').toUpper());
}

QString line(const char *direction, const quint8 *frame, const QString &meaning)
{
    return QStringLiteral("%1 %2  %3")
        .arg(QLatin1String(direction), -8)
        .arg(hexBytes(frame, Telegram::FrameLength), meaning);
}

QString channelText(int channel)
{
    return QStringLiteral("channel %1: ").arg(channel);
}

} // namespace

void writeTraceLine(TraceLine kind, const QString &text)
{
    beingWritten = kind;
    qCDebug(lumoLink).noquote() << text;
    beingWritten.reset();
}

std::optional<TraceLine> traceLineBeingWritten()
{
    return beingWritten;
}

QString describeSent(const TelegramFrame &frame, int channel)
{
    QString meaning = channel > 0 ? channelText(channel) : QString();
    switch (frame[5]) {
    case Telegram::LampOff:
        meaning += QLatin1String("switch the lamp off");
        break;
    case Telegram::LampOn:
        meaning += QLatin1String("switch the lamp on");
        break;
    case Telegram::ReportState:
        meaning += QLatin1String("report the lamp's state");
        break;
    default:
        meaning += QStringLiteral("command %1").arg(frame[5]);
        break;
    }
    return line("sent", frame.data(), meaning);
}

QString describeReceived(const quint8 *body, int channel)
{
    TelegramFrame frame{};
    frame[0] = Telegram::StartByte;
    std::copy(body, body + Telegram::BodyLength, frame.begin() + 1);
    frame[7] = Telegram::EndByte;

    QString meaning;
    if (body[0] != Telegram::ReportKind) {
        meaning = QStringLiteral("not a report: dropped");
    } else {
        meaning = channel > 0 ? channelText(channel)
                              : QStringLiteral("no channel has this address: ");
        switch (body[4]) {
        case Telegram::LampOff:
            meaning += QLatin1String("lamp off");
            break;
        case Telegram::LampOn:
            meaning += QLatin1String("lamp on");
            break;
        default:
            meaning += QStringLiteral("invalid state %1").arg(body[4]);
            break;
        }
        if (telegramChecksum(body) != body[5])
            meaning += QLatin1String(", wrong checksum");
    }
    return line("received", frame.data(), meaning);
}
