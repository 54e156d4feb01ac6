#pragma once

#include "channel/channel.h"
#include "link/framing.h"
#include "link/transmitterchoice.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <array>

class MainWindow;
class QTimer;

// The transmitter's serial line, owned by the main window: finds and opens the port by the
// start-up rule, frames what it receives and hands each report body to its channel. After a
// lost line it looks for the transmitter again about once a second, and takes it back into use
// when it is the same device (see isSameTransmitter()).
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

    // Frames received bytes and hands each complete report body to its channel. A frame left
    // unfinished is dropped once the line has been silent for 50 ms, so that the next report is
    // framed from its own start byte.
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
    void onFrameSilence();
    void traceReceived(const quint8 *body);
    // A trace line about the line: `opened "/dev/ttyUSB0"`, or with a reason after a colon.
    void traceLink(const QString &event, const QString &reason = QString()) const;
    // The first channel with these three address bytes, or none.
    Channel *channelFor(const quint8 *address);
    // Finds and opens the transmitter: at start-up by the start-up rule, when `returning` only
    // the one that was lost. Throws when it cannot.
    void start(bool returning);
    QString find(bool returning);
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
    QTimer *frameSilence = nullptr; // runs while a frame is unfinished
    QElapsedTimer lineClock;
    qint64 lastBytesAt = 0;      // on lineClock
    QString transmitterName;     // as found or named, for the trace
    PortDescription transmitter; // the one opened at start-up, to know it again
    bool awaiting = false;       // the line was lost and is looked for again
    int reopenCountdown = 0;     // ticks until the next look
    QString reopenFailure;       // why the last look failed, written once
    bool errorBoxDue = false;    // the lost line's box is queued or open
    bool closed = false;         // the window has closed
};
