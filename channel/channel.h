#pragma once

#include "link/telegram.h"

#include <QObject>

class MainWindow;
class QLabel;
class QPushButton;
class QSerialPort;

// Inverted once per 100 ms tick before the channels tick, so every blinking indicator of the
// process changes in step.
extern bool blinkPhase;

// The panel's side of one lamp receiver, bound to the three widgets of its column.
class Channel : public QObject
{
    Q_OBJECT

public:
    enum Operation : qint32 { Query = 0, SwitchOff = 1, SwitchOn = 3, Confirmed = 4 };

    static constexpr int CountdownReload = 50; // ticks between two transmissions, minus one
    static constexpr int RetriesReload = 3;    // transmissions before giving up

    Channel(MainWindow *owner,
            const quint8 *address,
            QPushButton *activeButton,
            QPushButton *lampButton,
            QLabel *lampLed);

    void setActive(bool flag);
    void setButtonsEnabled(bool flag);
    void tick(QSerialPort *port);
    void receiveTelegram(const quint8 *body, unsigned length);

    void onActivePressed();
    void onLampPressed();

    const ChannelAddress &channelAddress() const { return address; }
    bool isActive() const { return active; }
    bool buttonsEnabled() const { return enabled; }
    bool isLampOn() const { return lampOn; }
    Operation currentOperation() const { return operation; }
    int countdownTicks() const { return countdown; }
    int retriesLeft() const { return retries; }

private:
    void sendTelegram(QSerialPort *port, quint8 command);
    void showActiveImage(const char *path);
    void showLampSwitch(bool on);
    void showIndicator(bool lit);
    // Puts what the widgets show into words for assistive technology and tool tips.
    void describe();

    const ChannelAddress address;
    MainWindow *const owner;
    QPushButton *const activeButton;
    QPushButton *const lampButton;
    QLabel *const lampLed;
    bool active = false;
    bool enabled = true;
    bool lampOn = false;
    bool switchShowsOn = false;
    Operation operation = Query;
    qint32 countdown = 0;
    qint32 retries = 0;
};
