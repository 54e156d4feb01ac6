// The transmitter link: the main window's operations that find, open and watch the transmitter's
// serial port, frame what it receives and distribute the tick.
#include "app/mainwindow.h"

#include "channel/channel.h"
#include "link/portdiagnostics.h"
#include "link/transmitterchoice.h"

#include <QDebug>
#include <QMessageBox>
#include <QSerialPortInfo>

#include <algorithm>
#include <stdexcept>

bool MainWindow::openTransmitter()
{
    closeTransmitter();
    try {
        // A set LUMO_WIN_PORT names the port directly: pseudo-terminals and some bridges are
        // never listed with USB ids, and some users want a stable /dev/serial/by-id path.
        QString portName = qEnvironmentVariable("LUMO_WIN_PORT");
        if (portName.isEmpty()) {
            const auto found = chooseTransmitter(describePorts(QSerialPortInfo::availablePorts()));
            if (!found)
                throw std::runtime_error(tr("Transmmitter device not found").toStdString());
            portName = *found;
        }
        serialPort = new QSerialPort(this);
        serialPort->setPortName(portName);
        serialPort->setBaudRate(QSerialPort::Baud115200);
        serialPort->setDataBits(QSerialPort::Data8);
        serialPort->setFlowControl(QSerialPort::NoFlowControl);
        serialPort->setParity(QSerialPort::NoParity);
        serialPort->setStopBits(QSerialPort::OneStop);
        if (!serialPort->open(QIODevice::ReadWrite)) {
            qDebug().noquote() << describeOpenFailure(portName,
                                                      serialPort->error(),
                                                      serialPort->errorString(),
                                                      deviceGroupOf(portName));
            throw std::runtime_error("Unable to open serial port ");
        }
        serialPort->setTextModeEnabled(false);
        serialPort->setBreakEnabled(false);
        inFrame = false;
        QSerialPort *port = serialPort;
        connect(
            port, &QSerialPort::readyRead, port, [this] { onReadyRead(); }, Qt::DirectConnection);
        connect(
            port,
            &QSerialPort::errorOccurred,
            port,
            [this, port](QSerialPort::SerialPortError error) { onSerialError(port, error); },
            Qt::DirectConnection);
        qDebug() << "Opened serial port";
        return true;
    } catch (const std::exception &e) {
        QMessageBox::critical(this,
                              tr("Error"),
                              QString::fromUtf8(e.what()),
                              QMessageBox::Ok,
                              QMessageBox::NoButton);
        closeTransmitter();
        return false;
    }
}

void MainWindow::closeTransmitter()
{
    if (!serialPort)
        return;
    QSerialPort *port = serialPort;
    serialPort = nullptr;
    port->disconnect(this);
    port->close();
    // This may run inside one of the port's own signals: release it once that has returned.
    port->deleteLater();
}

void MainWindow::onReadyRead()
{
    if (!serialPort)
        return;
    const QByteArray data = serialPort->readAll();
    receiveBytes(data.constData(), data.size());
}

void MainWindow::receiveBytes(const char *data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i) {
        if (framingStep(rxBuffer, inFrame, static_cast<quint8>(data[i])))
            dispatchBody(rxBuffer.bytes.data());
    }
}

void MainWindow::dispatchBody(const quint8 *body)
{
    if (body[0] != Telegram::ReportKind)
        return;
    for (Channel &channel : *channels) {
        const ChannelAddress &address = channel.channelAddress();
        if (std::equal(address.begin(), address.end(), body + 1)) {
            channel.receiveTelegram(body, Telegram::BodyLength);
            return;
        }
    }
    qDebug() << "Address not found";
}

void MainWindow::onSerialError(QSerialPort *port, QSerialPort::SerialPortError error)
{
    // Opening clears the error with NoError, and a port already taken out of service may still
    // be unwinding its own emission: neither is a failure of the held port.
    if (error == QSerialPort::NoError || port != serialPort)
        return;
    const QString text = tr("Error reading from serial port: %1").arg(port->errorString());
    // Take the port out of service before the box opens: a hung-up port keeps signalling errors,
    // and the box's event loop would otherwise stack a new box for each one.
    closeTransmitter();
    QMessageBox::critical(this, tr("Error"), text, QMessageBox::Ok, QMessageBox::NoButton);
    for (Channel &channel : *channels)
        channel.setButtonsEnabled(false);
}

void MainWindow::onTimerTick()
{
    blinkPhase = !blinkPhase;
    for (Channel &channel : *channels)
        channel.tick(serialPort);
}

void MainWindow::enableChannels(bool flag)
{
    for (Channel &channel : *channels)
        channel.setButtonsEnabled(flag);
}
