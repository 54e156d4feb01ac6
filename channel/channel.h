#pragma once

#include "link/telegram.h"

#include <QObject>

#include <optional>

class MainWindow;
class QSerialPort;

// Inverted once per 100 ms tick before the channels tick, so every blinking indicator of the
// process changes in step.
extern bool blinkPhase;

// The panel's side of one lamp receiver: what it asks and commands, its repeats and time-outs,
// and what its column shows. The column's widgets (ChannelWidgets) and the bus follow changed().
class Channel : public QObject
{
    Q_OBJECT

public:
    enum Operation : qint32 { Query = 0, SwitchOff = 1, SwitchOn = 3, Confirmed = 4 };
    // The lamp's state as its receiver last reported it while the channel was in use.
    enum class Lamp { Unknown, Off, On };

    static constexpr int CountdownReload = 50; // ticks between two transmissions, minus one
    static constexpr int RetriesReload = 3;    // transmissions before giving up

    Channel(MainWindow *owner, const quint8 *address);

    void setActive(bool flag);
    void setButtonsEnabled(bool flag);
    void tick(QSerialPort *port);
    void receiveTelegram(const quint8 *body, unsigned length);

    // What the active button does: asks the receiver for the lamp's state.
    void onActivePressed();
    // What the lamp switch does: commands the opposite of the last commanded or reported state.
    void onLampPressed();
    // Commands the lamp on (or off), whatever the switch showed, until the receiver reports it.
    void switchLamp(bool on);

    const ChannelAddress &channelAddress() const { return address; }
    bool receiver() const { return hasReceiver(address); }
    bool isActive() const { return active; }
    // In use and waiting for the receiver's report.
    bool isWaiting() const { return active && operation != Confirmed; }
    bool buttonsEnabled() const { return enabled; }
    bool isLampOn() const { return lampOn; }
    Lamp reportedLamp() const { return lamp; }
    Operation currentOperation() const { return operation; }
    int countdownTicks() const { return countdown; }
    int retriesLeft() const { return retries; }

    // What the column shows. The buttons' enabled states are none until first set: the layout's.
    bool switchShowsOn() const { return switchOn; }
    bool indicatorLit() const { return lit; }
    std::optional<bool> activeButtonEnabled() const { return activeEnabled; }
    std::optional<bool> lampButtonEnabled() const { return lampEnabled; }

signals:
    // Something the column shows or the bus tells changed.
    void changed();
    // A report was accepted; it ends any query or command, before the buttons are unlocked.
    void reportAccepted(bool lampOn);
    // Three transmissions went unanswered and the channel is inactive again.
    void gaveUp();

private:
    struct Shown
    {
        bool active, enabled, lampOn, switchOn, lit;
        Operation operation;
        Lamp lamp;
        std::optional<bool> activeEnabled, lampEnabled;
        bool operator==(const Shown &other) const;
    };
    Shown shown() const;
    // Emits changed() when something differs from what was last announced.
    void announce();
    void sendTelegram(QSerialPort *port, quint8 command);

    const ChannelAddress address;
    MainWindow *const owner;
    bool active = false;
    bool enabled = true;
    bool lampOn = false;
    bool switchOn = false;
    bool lit = false;
    Operation operation = Query;
    qint32 countdown = 0;
    qint32 retries = 0;
    Lamp lamp = Lamp::Unknown;
    std::optional<bool> activeEnabled;
    std::optional<bool> lampEnabled;
    Shown announced;
};
