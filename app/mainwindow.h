#pragma once

#include "app/configuration.h"
#include "channel/channel.h"
#include "link/framing.h"

#include <QMainWindow>
#include <QSerialPort>

#include <array>
#include <memory>

class QTimer;

namespace Ui {
class MainWindow;
}

// The panel's one top-level window. It owns the form, the four channels, the transmitter's
// serial port and the 100 ms tick that drives the channels.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Reads the four receiver addresses from `addressFile`, then opens the transmitter. When the
    // transmitter cannot be opened, the user has been told and the process ends with status 1.
    explicit MainWindow(const QString &addressFile = QString());
    ~MainWindow() override;

    // Start-up: logs the path, then reads the configuration (from `readFrom` instead when given,
    // saving to `path` all the same); failures leave the defaults.
    void loadConfiguration(const QString &path, const QString &readFrom = QString());
    // Restores geometry and state, and gives each channel its stored active flag.
    void applyConfiguration();

    // The transmitter link. After a lost line the tick looks for the transmitter again about
    // once a second, by the same rule as at start-up, and takes it back into use.
    bool openTransmitter();
    void closeTransmitter();
    void onReadyRead();
    void onSerialError(QSerialPort *port, QSerialPort::SerialPortError error);
    // Takes the line out of service, disables the channels' buttons, tells the user once and
    // starts looking for the transmitter again.
    void loseTransmitter(const QString &reason);
    bool awaitsTransmitter() const { return awaitingTransmitter; }
    void onTimerTick();
    void enableChannels(bool flag);
    // Frames received bytes and hands each complete report body to its channel.
    void receiveBytes(const char *data, qsizetype size);

    Channel &channel(int index) { return channels->at(index); }
    // 1 to 4, or 0 for a channel that is not this window's.
    int channelNumber(const Channel *channel) const;
    QSerialPort *transmitterPort() const { return serialPort; }
    QTimer *tickTimer() const { return timer; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void on_sideButton_clicked();
    void on_vornaButton_clicked();

private:
    void dispatchBody(const quint8 *body);
    void traceReceived(const quint8 *body);
    // The first channel with these three address bytes, or none.
    Channel *channelFor(const quint8 *address);
    // Finds and opens the transmitter by the start-up rule; throws when it cannot.
    void startTransmitter();
    void reopenTransmitter();
    void showLinkError(const QString &text);

    Configuration configuration;
    Ui::MainWindow *ui = nullptr;
    // One block of four; its channels are destroyed before the window's children.
    std::unique_ptr<std::array<Channel, ChannelCount>> channels;
    QTimer *timer = nullptr;
    QSerialPort *serialPort = nullptr;
    bool initialized = false;
    RxBuffer rxBuffer;
    bool inFrame = false;
    QString transmitterName;          // as found or named, for the trace
    bool awaitingTransmitter = false; // the line was lost and is looked for again
    int reopenCountdown = 0;          // ticks until the next look
    QString reopenFailure;            // why the last look failed, written once
    bool errorBoxDue = false;         // the lost line's box is queued or open
    bool windowClosed = false;
};
