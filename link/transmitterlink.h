#pragma once

#include "channel/channel.h"
#include "link/framing.h"

#include <QObject>
#include <QSerialPort>
#include <QString>

#include <array>

class MainWindow;

// The transmitter's serial line, owned by the main window: finds and opens the port by the
// start-up rule, frames what it receives and hands each report body to its channel. After a
// lost line it looks for the transmitter again about once a second, by the same rule, and takes
// it back into use.
class TransmitterLink : public QObject
{
    Q_OBJECT

public:
    using Channels = std::array<Channel, ChannelCount>;

    TransmitterLink(MainWindow *window, Channels &channels);

    // Finds and opens the transmitter. When it cannot, the user has been told in a box.
    bool open();
    // Releases the port, if one is held.
    void close();
    // The window has closed: the port is released and no longer looked for.
    void windowClosed();
    QSerialPort *port() const { return serialPort; }
    bool awaitsTransmitter() const { return awaiting; }

    // Frames received bytes and hands each complete report body to its channel.
    void receiveBytes(const char *data, qsizetype size);
    void onSerialError(QSerialPort *port, QSerialPort::SerialPortError error);
    // Before the channels tick: a line that has failed is taken out of service, so that no
    // channel writes into it.
    void checkLine();
    // After the channels tick: a lost transmitter is looked for about once a second, so that a
    // reopened line carries the channels' queries from the next tick on.
    void tick();

    // 1 to ChannelCount, or 0 for a channel that is not this window's.
    int channelNumber(const Channel *channel) const;

signals:
    // The transmitter was lost (false), or found again and in use (true).
    void inUse(bool inUse);

private:
    void onReadyRead();
    void dispatchBody(const quint8 *body);
    void traceReceived(const quint8 *body);
    // The first channel with these three address bytes, or none.
    Channel *channelFor(const quint8 *address);
    // Finds and opens the transmitter by the start-up rule; throws when it cannot.
    void start();
    void reopen();
    // Takes the line out of service, disables the channels' buttons, tells the user once and
    // starts looking for the transmitter again.
    void lose(const QString &reason);
    void showError(const QString &text);

    MainWindow *const window;
    Channels &channels;
    QSerialPort *serialPort = nullptr;
    RxBuffer rxBuffer;
    bool inFrame = false;
    QString transmitterName;  // as found or named, for the trace
    bool awaiting = false;    // the line was lost and is looked for again
    int reopenCountdown = 0;  // ticks until the next look
    QString reopenFailure;    // why the last look failed, written once
    bool errorBoxDue = false; // the lost line's box is queued or open
    bool closed = false;      // the window has closed
};
