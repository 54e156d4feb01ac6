#include "channel.h"

#include "accessibility/channelwords.h"
#include "app/mainwindow.h"
#include "link/debuglines.h"
#include "link/linktrace.h"
#include "link/transmitterlink.h"

#include <QCoreApplication>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSerialPort>

bool blinkPhase = false;

namespace {
const char ActiveBlack[] = ":/res/Glossy_Button_Black.png";
const char ActiveWhite[] = ":/res/Glossy_Button_White.png";
const char ActiveGreen[] = ":/res/Glossy_Button_Light_Green.png";
const char SwitchOnImage[] = ":/res/switch-on.png";
const char SwitchOffImage[] = ":/res/switch-off.png";
const char IndicatorLit[] = ":/res/button-yellow.png";
const char IndicatorOff[] = ":/res/button-off.png";

// Each image is decoded once and kept until the application object goes. QIcon(path) decodes
// the PNG on every call, and Qt's pixmap cache would drop an image under pressure (every new
// icon adds scaled copies of its own to it), so the indicator's blinking would decode it again.
template<typename Image>
const Image &imageFromResource(const char *path)
{
    static QHash<const char *, Image> images; // keyed by the path constants above
    auto found = images.constFind(path);
    if (found == images.constEnd()) {
        if (images.isEmpty())
            qAddPostRoutine([] { images.clear(); }); // no pixmap may outlive the application
        found = images.insert(path, Image(QPixmap(QString::fromLatin1(path))));
    }
    return *found;
}

ChannelAddress copyAddress(const quint8 *bytes)
{
    return ChannelAddress{bytes[0], bytes[1], bytes[2]};
}

void describeWidget(QWidget *widget, const QString &words)
{
    // Qt tells assistive technology about every call, so only a change is set.
    if (widget->accessibleDescription() == words)
        return;
    widget->setAccessibleDescription(words);
    widget->setToolTip(words);
}
} // namespace

Channel::Channel(MainWindow *owner,
                 const quint8 *address,
                 QPushButton *activeButton,
                 QPushButton *lampButton,
                 QLabel *lampLed)
    : QObject(owner)
    , address(copyAddress(address))
    , owner(owner)
    , activeButton(activeButton)
    , lampButton(lampButton)
    , lampLed(lampLed)
{
    showActiveImage(hasReceiver(this->address) ? ActiveWhite : ActiveBlack);
    // The action happens when the button goes down, not when it is released.
    connect(activeButton, &QPushButton::pressed, this, &Channel::onActivePressed);
    connect(lampButton, &QPushButton::pressed, this, &Channel::onLampPressed);
    describe();
}

void Channel::describe()
{
    const ChannelWords words = channelWords(
        {hasReceiver(address), active, operation != Confirmed, lampOn, switchShowsOn});
    describeWidget(lampLed, words.lamp);
    describeWidget(lampButton, words.lampSwitch);
    describeWidget(activeButton, words.active);
}

void Channel::showActiveImage(const char *path)
{
    activeButton->setIcon(imageFromResource<QIcon>(path));
}

void Channel::showLampSwitch(bool on)
{
    switchShowsOn = on;
    lampButton->setIcon(imageFromResource<QIcon>(on ? SwitchOnImage : SwitchOffImage));
}

void Channel::showIndicator(bool lit)
{
    lampLed->setPixmap(imageFromResource<QPixmap>(lit ? IndicatorLit : IndicatorOff));
}

void Channel::onActivePressed()
{
    operation = Query;
    setActive(true);
}

void Channel::onLampPressed()
{
    // Without a receiver nothing is ever sent: flipping the switch would show a lamp state that
    // no receiver was told about.
    if (!hasReceiver(address))
        return;
    retries = RetriesReload;
    lampOn = !lampOn;
    showLampSwitch(lampOn);
    operation = lampOn ? SwitchOn : SwitchOff;
    setActive(true);
}

void Channel::setActive(bool flag)
{
    if (!hasReceiver(address)) {
        active = false;
        showActiveImage(ActiveBlack);
        describe();
        return;
    }
    active = flag;
    if (flag) {
        owner->enableChannels(false);
        showActiveImage(ActiveGreen);
        lampButton->setEnabled(enabled);
        countdown = 0;
        retries = RetriesReload;
    } else {
        showActiveImage(ActiveWhite);
        lampButton->setEnabled(false);
        // The switch now shows off, so the next press must mean "switch on", as it shows.
        lampOn = false;
        showLampSwitch(false);
        showIndicator(false);
    }
    describe();
}

void Channel::setButtonsEnabled(bool flag)
{
    if (!hasReceiver(address)) {
        enabled = false;
        activeButton->setEnabled(false);
        lampButton->setEnabled(false);
        showActiveImage(ActiveBlack);
        return;
    }
    enabled = flag;
    activeButton->setEnabled(flag);
    lampButton->setEnabled(flag);
}

void Channel::tick(QSerialPort *port)
{
    if (!active)
        return;
    if (operation != Confirmed)
        showIndicator(!blinkPhase);
    if (countdown > 0) {
        --countdown;
        return;
    }
    if (retries <= 0) {
        operation = Query;
        setActive(false);
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
    showIndicator(lampOn);
    lampButton->setEnabled(true);
    showLampSwitch(lampOn);
    countdown = CountdownReload;
    retries = RetriesReload;
    describe();
    owner->enableChannels(true);
}
