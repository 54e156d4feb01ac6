#include "channel.h"

#include "app/mainwindow.h"
#include "link/debuglines.h"
#include "link/linktrace.h"
#include "link/transmitterlink.h"

#include <QSerialPort>

#include <tuple>

bool blinkPhase = false;

namespace {
ChannelAddress copyAddress(const quint8 *bytes)
{
    return ChannelAddress{bytes[0], bytes[1], bytes[2]};
}
} // namespace

bool Channel::Shown::operator==(const Shown &o) const
{
    return std::tie(active,
                    enabled,
                    lampOn,
                    switchOn,
                    lit,
                    operation,
                    lamp,
                    activeEnabled,
                    lampEnabled)
           == std::tie(o.active,
                       o.enabled,
                       o.lampOn,
                       o.switchOn,
                       o.lit,
                       o.operation,
                       o.lamp,
                       o.activeEnabled,
                       o.lampEnabled);
}

Channel::Channel(MainWindow *owner, const quint8 *address)
    : QObject(owner)
    , address(copyAddress(address))
    , owner(owner)
    , announced(shown())
{}

Channel::Shown Channel::shown() const
{
    return {active, enabled, lampOn, switchOn, lit, operation, lamp, activeEnabled, lampEnabled};
}

void Channel::announce()
{
    const Shown now = shown();
    if (now == announced)
        return;
    announced = now;
    emit changed();
}

void Channel::onActivePressed()
{
    operation = Query;
    setActive(true);
}

void Channel::onLampPressed()
{
    switchLamp(!lampOn);
}

void Channel::switchLamp(bool on)
{
    // Without a receiver nothing is ever sent: flipping the switch would show a lamp state that
    // no receiver was told about.
    if (!receiver())
        return;
    retries = RetriesReload;
    lampOn = on;
    switchOn = on;
    operation = on ? SwitchOn : SwitchOff;
    setActive(true);
}

void Channel::setActive(bool flag)
{
    if (!receiver()) {
        active = false;
        announce();
        return;
    }
    active = flag;
    if (flag) {
        owner->enableChannels(false);
        lampEnabled = enabled;
        countdown = 0;
        retries = RetriesReload;
    } else {
        lampEnabled = false;
        // The switch now shows off, so the next press must mean "switch on", as it shows.
        lampOn = false;
        switchOn = false;
        lit = false;
        lamp = Lamp::Unknown;
    }
    announce();
}

void Channel::setButtonsEnabled(bool flag)
{
    enabled = receiver() && flag;
    activeEnabled = enabled;
    lampEnabled = enabled;
    announce();
}

void Channel::tick(QSerialPort *port)
{
    if (!active)
        return;
    if (operation != Confirmed) {
        lit = !blinkPhase;
        announce();
    }
    if (countdown > 0) {
        --countdown;
        return;
    }
    if (retries <= 0) {
        operation = Query;
        setActive(false);
        emit gaveUp();
        owner->enableChannels(true);
        return;
    }
    countdown = CountdownReload;
    --retries;
    switch (operation) {
    case Query:
        sendTelegram(port, Telegram::ReportState);
        break;
    case SwitchOff:
        sendTelegram(port, Telegram::LampOff);
        break;
    case SwitchOn:
        sendTelegram(port, Telegram::LampOn);
        break;
    case Confirmed:
        retries = RetriesReload;
        break;
    }
}

void Channel::sendTelegram(QSerialPort *port, quint8 command)
{
    if (!port)
        return;
    const TelegramFrame frame = commandTelegram(address, command);
    if (lumoLink().isDebugEnabled())
        writeTraceLine(TraceLine::Sent, describeSent(frame, owner->link().channelNumber(this)));
    port->write(reinterpret_cast<const char *>(frame.data()), qint64(frame.size()));
    port->flush();
}

void Channel::receiveTelegram(const quint8 *body, unsigned length)
{
    if (!active)
        return;
    if (length != unsigned(Telegram::BodyLength)) {
        writeDebugLine(DebugLine::InvalidSize, QString::number(length));
        return;
    }
    if (telegramChecksum(body) != body[5])
        writeDebugLine(DebugLine::InvalidCrc);
    switch (body[4]) {
    case Telegram::LampOn:
        if (operation == SwitchOff) {
            writeDebugLine(DebugLine::StaleOn);
            return;
        }
        lampOn = true;
        break;
    case Telegram::LampOff:
        if (operation == SwitchOn) {
            writeDebugLine(DebugLine::StaleOff);
            return;
        }
        lampOn = false;
        break;
    default:
        writeDebugLine(DebugLine::InvalidCommand);
        return;
    }
    operation = Confirmed;
    lit = lampOn;
    lampEnabled = true;
    switchOn = lampOn;
    lamp = lampOn ? Lamp::On : Lamp::Off;
    countdown = CountdownReload;
    retries = RetriesReload;
    announce();
    emit reportAccepted(lampOn);
    owner->enableChannels(true);
}
