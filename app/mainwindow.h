#pragma once

#include "app/configuration.h"
#include "channel/channel.h"

#include <QMainWindow>

#include <array>
#include <memory>

class ChannelRequests;
class QSerialPort;
class QTimer;
class TransmitterLink;

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
    // Keeps the geometry, the state and the active flags in the settings file, as closing does.
    void saveConfiguration();

    // The 100 ms tick: inverts the blink phase and ticks the channels, passing the port.
    void onTimerTick();
    // Locks (false) or unlocks the buttons of all channels.
    void enableChannels(bool flag);
    // The port the channels write to; none while the transmitter is lost.
    QSerialPort *transmitterPort() const;

    Channel &channel(int index) { return channels->at(size_t(index)); }
    // The one way into the channels, for the buttons and every remote control.
    ChannelRequests *channelRequests() const { return requests; }
    TransmitterLink &link() const { return *transmitterLink; }
    QTimer *tickTimer() const { return timer; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void on_sideButton_clicked();
    void on_vornaButton_clicked();

private:
    Configuration configuration;
    Ui::MainWindow *ui = nullptr;
    // One block of four; its channels are destroyed before the window's children.
    std::unique_ptr<std::array<Channel, ChannelCount>> channels;
    ChannelRequests *requests = nullptr;
    TransmitterLink *transmitterLink = nullptr;
    QTimer *timer = nullptr;
    bool initialized = false;
};
