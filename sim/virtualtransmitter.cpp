#include "virtualtransmitter.h"

#include <QSocketNotifier>
#include <QStringList>

VirtualTransmitter::VirtualTransmitter(const SimOptions &options, TraceSink trace, QObject *parent)
    : QObject(parent)
    , options(options)
    , trace(std::move(trace))
    , receivers(options)
{
    clock.start();
    // The panel opens the line whenever it likes; a hang-up is only seen by looking.
    panelWatch.setInterval(50);
    connect(&panelWatch, &QTimer::timeout, this, &VirtualTransmitter::watchForPanel);
    connect(&unaskedTimer, &QTimer::timeout, this, [this] {
        const int index = this->options.unaskedReceiver;
        if (!receivers.receiver(index).switchedOff) {
            const QByteArray frame = receivers.report(index);
            sendToPanel(frame, QStringLiteral("unasked ") + receivers.describeReport(frame));
        }
    });
}

VirtualTransmitter::~VirtualTransmitter() = default;

bool VirtualTransmitter::open(QString *error)
{
    if (!line.open(error))
        return false;
    reader = new QSocketNotifier(line.masterDescriptor(), QSocketNotifier::Read, this);
    reader->setEnabled(false);
    connect(reader, &QSocketNotifier::activated, this, &VirtualTransmitter::readFromPanel);
    return true;
}

void VirtualTransmitter::start()
{
    QStringList names;
    for (int i = 0; i < ReceiverCount; ++i) {
        const Radio::Receiver &r = receivers.receiver(i);
        names << QStringLiteral("%1 = %2%3%4")
                     .arg(i + 1)
                     .arg(addressText(r.address),
                          r.lampOn ? QStringLiteral(" lamp on") : QString(),
                          r.switchedOff ? QStringLiteral(" (switched off)") : QString());
    }
    note(QStringLiteral("receivers %1").arg(names.join(QStringLiteral(", "))));
    note(QStringLiteral("reply after %1 ms; lose %2%, wrong checksum %3%, noise %4%; seed %5")
             .arg(options.replyDelayMs)
             .arg(options.losePercent)
             .arg(options.badChecksumPercent)
             .arg(options.noisePercent)
             .arg(receivers.seed()));
    panelWatch.start();
    if (options.unaskedReceiver >= 0)
        unaskedTimer.start(int(options.unaskedEverySeconds * 1000));
    if (options.hangUpAfterSeconds > 0)
        QTimer::singleShot(int(options.hangUpAfterSeconds * 1000), this, [this] {
            hangUp(QStringLiteral("hanging up the line, as an unplugged transmitter would"));
            emit hungUpByItself();
        });
}

void VirtualTransmitter::hangUp(const QString &why)
{
    if (!line.isOpen())
        return;
    note(why);
    panelWatch.stop();
    unaskedTimer.stop();
    delete reader;
    reader = nullptr;
    line.close();
}

void VirtualTransmitter::note(const QString &text)
{
    if (trace)
        trace(QStringLiteral("%1 --  %2").arg(clock.elapsed() / 1000.0, 9, 'f', 3).arg(text));
}

void VirtualTransmitter::readFromPanel()
{
    bool panelGone = false;
    const QByteArray bytes = line.read(&panelGone);
    for (const char byte : bytes)
        take(quint8(byte));
    flushStrayBytes();
    if (panelGone) {
        // Until someone opens the line again the master would report the hang-up endlessly.
        reader->setEnabled(false);
        inFrame = false;
        line.dropUnread();
        note(QStringLiteral("the panel closed the line"));
        panelWatch.start();
    }
}

void VirtualTransmitter::watchForPanel()
{
    if (!line.peerConnected())
        return;
    panelWatch.stop();
    note(QStringLiteral("the panel opened the line"));
    reader->setEnabled(true);
}

void VirtualTransmitter::take(quint8 byte)
{
    const bool wasInFrame = inFrame;
    const bool complete = framingStep(rxBuffer, inFrame, byte);
    if (!wasInFrame && !inFrame) {
        strayBytes += char(byte);
        return;
    }
    if (!wasInFrame) {
        flushStrayBytes();
        frameBytes.clear();
    }
    frameBytes += char(byte);
    if (!complete)
        return;

    const Radio::Outcome outcome = receivers.receive(rxBuffer.bytes.data());
    traceBytes("in", frameBytes, outcome.meaning);
    if (outcome.verdict != Radio::Verdict::Answered)
        return;
    const QByteArray reply = outcome.reply;
    QTimer::singleShot(options.replyDelayMs, this, [this, reply] {
        sendToPanel(reply, receivers.describeReport(reply));
    });
}

void VirtualTransmitter::flushStrayBytes()
{
    if (strayBytes.isEmpty())
        return;
    traceBytes("in", strayBytes, QStringLiteral("bytes outside a frame: ignored"));
    strayBytes.clear();
}

void VirtualTransmitter::sendToPanel(const QByteArray &frame, const QString &meaning)
{
    if (!line.isOpen())
        return;
    if (!line.peerConnected()) {
        // A real transmitter has nobody to hand it to either.
        note(QStringLiteral("nobody has the line open: %1 not sent").arg(meaning));
        return;
    }
    const QByteArray noise = receivers.noiseBurst();
    if (!noise.isEmpty() && line.write(noise))
        traceBytes("out", noise, QStringLiteral("line noise"));
    if (line.write(frame))
        traceBytes("out", frame, meaning);
    else
        note(QStringLiteral("the line is full: %1 not sent").arg(meaning));
}

void VirtualTransmitter::traceBytes(const char *direction,
                                    const QByteArray &bytes,
                                    const QString &meaning)
{
    if (trace)
        trace(QStringLiteral("%1 %2 %3  %4")
                  .arg(clock.elapsed() / 1000.0, 9, 'f', 3)
                  .arg(QLatin1String(direction), -3)
                  .arg(QString::fromLatin1(bytes.toHex(' ').toUpper()), -23)
                  .arg(meaning));
}
