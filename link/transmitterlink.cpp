#include "transmitterlink.h"

#include "app/mainwindow.h"
#include "channel/channelrequests.h"
#include "link/debuglines.h"
#include "link/linktrace.h"
#include "link/linkwatch.h"
#include "platform/portdiagnostics.h"
#include "link/transmitterchoice.h"

#include <QDebug>
#include <QFileInfo>
#include <QMessageBox>
#include <QSerialPortInfo>
#include <QTimer>

#include <algorithm>
#include <stdexcept>

namespace {

// Looked at for every frame received: a plain flag, not a call, while the trace is off.
const QLoggingCategory &linkTrace = lumoLink();

// Ticks between two looks for a transmitter that was lost: about once a second.
constexpr int ReopenTicks = 10;

// A telegram takes 0.7 ms at 115200 baud: a frame whose rest has not come after this much
// silence never comes, and would otherwise swallow the start of the next report.
constexpr int FrameSilenceMs = 50;

// The transmitter could not be found or opened: the text for the user, and a debug line that
// tells why, when there is more to say.
class OpenFailure : public std::runtime_error
{
public:
    explicit OpenFailure(const std::string &message, const QString &detail = QString())
        : std::runtime_error(message)
        , detail(detail)
    {}
    QString detail;
};

} // namespace

TransmitterLink::TransmitterLink(MainWindow *window, Channels &channels)
    : QObject(window)
    , window(window)
    , channels(channels)
{
    frameSilence = new QTimer(this);
    frameSilence->setSingleShot(true);
    connect(frameSilence, &QTimer::timeout, this, &TransmitterLink::onFrameSilence);
    lineClock.start();
}

bool TransmitterLink::open()
{
    close();
    try {
        start(false);
        traceLink(QStringLiteral("opened"));
        return true;
    } catch (const std::exception &e) {
        if (const auto *failure = dynamic_cast<const OpenFailure *>(&e);
            failure && !failure->detail.isEmpty())
            qDebug().noquote() << failure->detail;
        QMessageBox::critical(window,
                              tr("Error"),
                              QString::fromUtf8(e.what()),
                              QMessageBox::Ok,
                              QMessageBox::NoButton);
        close();
        return false;
    }
}

QString TransmitterLink::find(bool returning)
{
    // A set LUMO_WIN_PORT names the port directly: pseudo-terminals and some bridges are never
    // listed with USB ids, and some users want a stable /dev/serial/by-id path.
    const QString named = qEnvironmentVariable("LUMO_WIN_PORT");
    const QString device = named.isEmpty() ? QString() : devicePortName(named);
    if (!named.isEmpty() && !QFileInfo::exists(device))
        return named; // not there: opening it says so
    // Listing the ports takes long (a tenth of a second on a busy machine), and never lists a
    // pseudo-terminal: one is known by its name alone.
    const bool pseudoTerminal = device.startsWith(QLatin1String("/dev/pts/"));
    const QList<QSerialPortInfo> available = pseudoTerminal ? QList<QSerialPortInfo>()
                                                            : QSerialPortInfo::availablePorts();
    const QVector<PortDescription> ports = named.isEmpty() ? describePorts(available)
                                                           : QVector<PortDescription>{
                                                               describeNamedPort(named, available)};
    // What the start-up rule takes: the named port, or the first with the transmitter's ids.
    const std::optional<QString> startUpChoice = named.isEmpty() ? chooseTransmitter(ports) : named;
    const std::optional<QString> found = returning ? chooseReturningTransmitter(transmitter,
                                                                                ports,
                                                                                !named.isEmpty())
                                                   : startUpChoice;
    const auto described = [&ports](const QString &name) {
        return *std::find_if(ports.begin(), ports.end(), [&](const auto &port) {
            return port.name == name;
        });
    };
    if (found) {
        if (!returning)
            transmitter = described(*found);
        return *found;
    }
    const std::string notFound = tr("Transmmitter device not found").toStdString();
    if (!startUpChoice)
        throw OpenFailure(notFound);
    // Never another device in the transmitter's place: it would get the channels' telegrams.
    const PortDescription stranger = described(*startUpChoice);
    throw OpenFailure(notFound,
                      QStringLiteral("%1 is another device (%2), not the transmitter that was "
                                     "lost (%3)")
                          .arg(printableForLog(stranger.name),
                               describeIdentity(stranger),
                               describeIdentity(transmitter)));
}

void TransmitterLink::start(bool returning)
{
    const QString portName = find(returning);
    transmitterName = portName;
    // Opened by the device's own name, so that a second panel reaching it through a symbolic
    // link finds it locked; and never while another program's lock says it is in use, which the
    // toolkit would take as stale, by its age or by the program's name.
    const QString device = devicePortName(portName);
    const OpenFailureFacts lock = examinePortLock(device);
    if (lock.lockOwnerRunning)
        throw OpenFailure("Unable to open serial port ", describeOpenFailure(lock));
    serialPort = new QSerialPort(this);
    serialPort->setPortName(device);
    serialPort->setBaudRate(QSerialPort::Baud115200);
    serialPort->setDataBits(QSerialPort::Data8);
    serialPort->setFlowControl(QSerialPort::NoFlowControl);
    serialPort->setParity(QSerialPort::NoParity);
    serialPort->setStopBits(QSerialPort::OneStop);
    if (!serialPort->open(QIODevice::ReadWrite)) {
        throw OpenFailure("Unable to open serial port ",
                          describeOpenFailure(examineOpenFailure(device,
                                                                 serialPort->error(),
                                                                 serialPort->errorString())));
    }
    serialPort->setTextModeEnabled(false);
    serialPort->setBreakEnabled(false);
    inFrame = false;
    // The link is the context, so that close() can cut these connections.
    QSerialPort *port = serialPort;
    connect(port, &QSerialPort::readyRead, this, &TransmitterLink::onReadyRead, Qt::DirectConnection);
    connect(
        port,
        &QSerialPort::errorOccurred,
        this,
        [this, port](QSerialPort::SerialPortError error) { onSerialError(port, error); },
        Qt::DirectConnection);
    writeDebugLine(DebugLine::OpenedSerialPort);
}

void TransmitterLink::traceLink(const QString &event, const QString &reason) const
{
    // The name quoted and escaped, so that control characters in it cannot forge trace lines.
    if (linkTrace.isDebugEnabled())
        writeTraceLine(TraceLine::Link,
                       QStringLiteral("%1 \"%2\"%3")
                           .arg(event,
                                printableForLog(transmitterName),
                                reason.isNull() ? QString() : ": " + printableForLog(reason)));
}

void TransmitterLink::close()
{
    if (!serialPort)
        return;
    QSerialPort *port = serialPort;
    serialPort = nullptr;
    port->disconnect(this);
    if (port->isOpen())
        port->close();
    // This may run inside one of the port's own signals: release it once that has returned.
    port->deleteLater();
}

void TransmitterLink::onReadyRead()
{
    if (!serialPort)
        return;
    const QByteArray data = serialPort->readAll();
    receiveBytes(data.constData(), data.size());
}

void TransmitterLink::receiveBytes(const char *data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i) {
        if (framingStep(rxBuffer, inFrame, static_cast<quint8>(data[i])))
            dispatchBody(rxBuffer.bytes.data());
    }
    if (inFrame) {
        lastBytesAt = lineClock.elapsed();
        if (!frameSilence->isActive())
            frameSilence->start(FrameSilenceMs);
    }
}

void TransmitterLink::onFrameSilence()
{
    if (!inFrame)
        return;
    const qint64 quiet = lineClock.elapsed() - lastBytesAt;
    if (quiet < FrameSilenceMs) {
        frameSilence->start(int(FrameSilenceMs - quiet));
        return;
    }
    // Bytes that came while the panel was busy are no silence: they are framed first.
    if (serialPort && hasUnreadBytes(*serialPort)) {
        frameSilence->start(FrameSilenceMs);
        return;
    }
    inFrame = false;
}

void TransmitterLink::dispatchBody(const quint8 *body)
{
    if (linkTrace.isDebugEnabled())
        traceReceived(body);
    if (body[0] != Telegram::ReportKind)
        return;
    if (Channel *channel = channelFor(body + 1))
        channel->receiveTelegram(body, Telegram::BodyLength);
    else
        writeDebugLine(DebugLine::AddressNotFound);
}

void TransmitterLink::traceReceived(const quint8 *body)
{
    const int number = body[0] == Telegram::ReportKind ? channelNumber(channelFor(body + 1)) : 0;
    writeTraceLine(TraceLine::Received, describeReceived(body, number));
}

Channel *TransmitterLink::channelFor(const quint8 *address)
{
    for (Channel &channel : channels) {
        const ChannelAddress &own = channel.channelAddress();
        if (std::equal(own.begin(), own.end(), address))
            return &channel;
    }
    return nullptr;
}

int TransmitterLink::channelNumber(const Channel *channel) const
{
    for (int n = 0; n < ChannelCount; ++n) {
        if (&channels[size_t(n)] == channel)
            return n + 1;
    }
    return 0;
}

void TransmitterLink::onSerialError(QSerialPort *port, QSerialPort::SerialPortError error)
{
    // Opening clears the error with NoError, and a port already taken out of service may still
    // be unwinding its own emission: neither is a failure of the held port.
    if (error == QSerialPort::NoError || port != serialPort)
        return;
    // The toolkit's text is often left from an earlier call: the line's own answer says what
    // happened, when it has one.
    const QString failure = lineFailure(*port);
    lose(failure.isEmpty() ? port->errorString() : failure);
}

void TransmitterLink::lose(const QString &reason)
{
    if (!serialPort)
        return;
    traceLink(QStringLiteral("lost"), reason);
    // Out of service at once: a hung-up port keeps signalling errors, and the channels must not
    // write into a line that is gone.
    close();
    window->enableChannels(false);
    window->channelRequests()->transmitterLost();
    emit inUse(false);
    awaiting = true;
    reopenCountdown = ReopenTicks;
    reopenFailure.clear();
    if (errorBoxDue)
        return; // one box at a time tells the user
    errorBoxDue = true;
    // Shown from the event loop, not from inside the port's signal or the tick that noticed.
    const QString text = tr("Error reading from serial port: %1").arg(reason);
    QMetaObject::invokeMethod(
        this, [this, text] { showError(text); }, Qt::QueuedConnection);
}

void TransmitterLink::showError(const QString &text)
{
    if (!closed)
        QMessageBox::critical(window, tr("Error"), text, QMessageBox::Ok, QMessageBox::NoButton);
    errorBoxDue = false;
    // The transmitter may have come back while the box was open: then the channels stay usable.
    if (!serialPort)
        window->enableChannels(false);
}

void TransmitterLink::reopen()
{
    QString failure;
    try {
        start(true);
    } catch (const OpenFailure &e) {
        failure = e.detail.isEmpty() ? QString::fromUtf8(e.what()) : e.detail;
    } catch (const std::exception &e) {
        failure = QString::fromUtf8(e.what());
    }
    if (!failure.isEmpty()) {
        close();
        // One line for each new reason, not one a second.
        if (failure != reopenFailure)
            qDebug().noquote() << "Waiting for the transmitter:" << failure.trimmed();
        reopenFailure = failure;
        return;
    }
    awaiting = false;
    reopenFailure.clear();
    traceLink(QStringLiteral("reopened"));
    // As after start-up: the buttons are free, and every active channel asks its receiver for
    // the lamp's state on the next tick, as a press of its active button does.
    window->enableChannels(true);
    emit inUse(true);
    for (Channel &channel : channels) {
        if (channel.isActive())
            channel.onActivePressed();
    }
}

void TransmitterLink::checkLine()
{
    // Noticed here, before a channel writes, even when the toolkit reports nothing.
    if (serialPort) {
        const QString failure = lineFailure(*serialPort);
        if (!failure.isEmpty())
            lose(failure);
    }
}

void TransmitterLink::tick()
{
    if (awaiting && !closed && --reopenCountdown <= 0) {
        reopenCountdown = ReopenTicks;
        reopen();
    }
}

void TransmitterLink::windowClosed()
{
    closed = true;
    awaiting = false;
    close();
}
