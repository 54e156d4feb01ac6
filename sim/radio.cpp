#include "radio.h"

#include <algorithm>

namespace {

QString hexByte(quint8 byte)
{
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

QString commandName(quint8 code)
{
    switch (code) {
    case Telegram::LampOff:
        return QStringLiteral("switch off");
    case Telegram::LampOn:
        return QStringLiteral("switch on");
    case Telegram::ReportState:
        return QStringLiteral("report your lamp");
    default:
        return QStringLiteral("unknown command %1").arg(hexByte(code));
    }
}

} // namespace

Radio::Radio(const SimOptions &options)
    : losePercent(options.losePercent)
    , badChecksumPercent(options.badChecksumPercent)
    , noisePercent(options.noisePercent)
    , randomSeed(options.seedGiven ? options.seed : QRandomGenerator::global()->generate())
    , random(randomSeed)
{
    for (int i = 0; i < ReceiverCount; ++i)
        receivers[size_t(i)] = {options.addresses[size_t(i)],
                                options.lampOn[size_t(i)],
                                options.switchedOff[size_t(i)]};
}

Radio::Outcome Radio::receive(const quint8 *body)
{
    Outcome outcome;
    const quint8 code = body[4];
    if (body[0] != Telegram::CommandKind) {
        outcome.meaning = QStringLiteral("not a command (kind %1): ignored").arg(hexByte(body[0]));
        return outcome;
    }
    outcome.receiver = findReceiver(body + 1);
    outcome.meaning = QStringLiteral("command to %1: %2")
                          .arg(receiverName(body + 1), commandName(code));
    const quint8 expected = telegramChecksum(body);
    if (expected != body[5]) {
        // A receiver cannot trust anything in a damaged telegram.
        outcome.verdict = Verdict::WrongChecksum;
        outcome.meaning += QStringLiteral("; wrong checksum (%1 expected): ignored")
                               .arg(hexByte(expected));
        return outcome;
    }
    if (outcome.receiver < 0) {
        outcome.verdict = Verdict::UnknownAddress;
        outcome.meaning += QStringLiteral("; nobody answers");
        return outcome;
    }
    Receiver &target = receivers[size_t(outcome.receiver)];
    if (target.switchedOff) {
        outcome.verdict = Verdict::SwitchedOff;
        outcome.meaning += QStringLiteral("; the receiver is switched off");
        return outcome;
    }
    if (code > Telegram::ReportState) {
        outcome.verdict = Verdict::UnknownCommand;
        outcome.meaning += QStringLiteral(": ignored");
        return outcome;
    }
    if (chance(losePercent)) {
        outcome.verdict = Verdict::Lost;
        outcome.meaning += QStringLiteral("; lost on the radio");
        return outcome;
    }
    if (code != Telegram::ReportState)
        target.lampOn = code == Telegram::LampOn;
    outcome.verdict = Verdict::Answered;
    outcome.reply = report(outcome.receiver);
    return outcome;
}

QByteArray Radio::report(int index)
{
    const Receiver &r = receivers[size_t(index)];
    TelegramFrame frame = buildTelegram(Telegram::ReportKind,
                                        r.address,
                                        r.lampOn ? Telegram::LampOn : Telegram::LampOff);
    if (chance(badChecksumPercent))
        frame[6] = quint8(frame[6] ^ (1 + random.bounded(255))); // never the right one
    return QByteArray(reinterpret_cast<const char *>(frame.data()), int(frame.size()));
}

QByteArray Radio::noiseBurst()
{
    QByteArray noise;
    if (!chance(noisePercent))
        return noise;
    const int length = 1 + int(random.bounded(12));
    while (noise.size() < length) {
        const char byte = char(random.bounded(256));
        if (quint8(byte) != Telegram::StartByte)
            noise += byte;
    }
    return noise;
}

QString Radio::describeReport(const QByteArray &frame) const
{
    const auto *body = reinterpret_cast<const quint8 *>(frame.constData()) + 1;
    const quint8 state = body[4];
    QString text = QStringLiteral("report from %1: %2")
                       .arg(receiverName(body + 1),
                            state == Telegram::LampOn    ? QStringLiteral("lamp on")
                            : state == Telegram::LampOff ? QStringLiteral("lamp off")
                                                         : QStringLiteral("state %1").arg(state));
    const quint8 expected = telegramChecksum(body);
    if (expected != body[5])
        text += QStringLiteral("; wrong checksum (%1 would be right)").arg(hexByte(expected));
    return text;
}

int Radio::findReceiver(const quint8 *address) const
{
    const auto found = std::find_if(receivers.begin(), receivers.end(), [address](const Receiver &r) {
        return std::equal(r.address.begin(), r.address.end(), address);
    });
    return found == receivers.end() ? -1 : int(found - receivers.begin());
}

QString Radio::receiverName(const quint8 *address) const
{
    const ChannelAddress a{address[0], address[1], address[2]};
    const int index = findReceiver(address);
    return index < 0 ? QStringLiteral("%1 (no such receiver)").arg(addressText(a))
                     : QStringLiteral("%1 (receiver %2)").arg(addressText(a)).arg(index + 1);
}

bool Radio::chance(double percent)
{
    if (percent <= 0)
        return false;
    return percent >= 100 || random.bounded(100.0) < percent;
}
