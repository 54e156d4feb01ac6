#include "channelwidgets.h"

#include "channel/channel.h"
#include "accessibility/channelwords.h"
#include "channel/lampindicator.h"

#include <QCoreApplication>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace {
const char ActiveBlack[] = ":/res/Glossy_Button_Black.png";
const char ActiveWhite[] = ":/res/Glossy_Button_White.png";
const char ActiveGreen[] = ":/res/Glossy_Button_Light_Green.png";
const char SwitchOnImage[] = ":/res/switch-on.png";
const char SwitchOffImage[] = ":/res/switch-off.png";

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

void describeWidget(QWidget *widget, const QString &words)
{
    // Qt tells assistive technology about every call, so only a change is set.
    if (widget->accessibleDescription() == words)
        return;
    widget->setAccessibleDescription(words);
    widget->setToolTip(words);
}
} // namespace

ChannelWidgets::ChannelWidgets(Channel *channel,
                               QPushButton *activeButton,
                               QPushButton *lampButton,
                               QLabel *lampLed)
    : QObject(channel)
    , channel(*channel)
    , activeButton(activeButton)
    , lampButton(lampButton)
    , lampLed(lampLed)
    , indicator(new LampIndicator(lampLed))
{
    // The action happens when the button goes down, not when it is released.
    connect(activeButton, &QPushButton::pressed, this, &ChannelWidgets::activePressed);
    connect(lampButton, &QPushButton::pressed, this, &ChannelWidgets::lampPressed);
    connect(channel, &Channel::changed, this, &ChannelWidgets::show);
    show();
}

void ChannelWidgets::show()
{
    const ActiveImage active = !channel.receiver()  ? ActiveImage::Black
                               : channel.isActive() ? ActiveImage::Green
                                                    : ActiveImage::White;
    if (active != activeImage) {
        activeImage = active;
        const char *path = active == ActiveImage::Black   ? ActiveBlack
                           : active == ActiveImage::Green ? ActiveGreen
                                                          : ActiveWhite;
        activeButton->setIcon(imageFromResource<QIcon>(path));
    }
    if (channel.switchShowsOn() != switchOn) {
        switchOn = channel.switchShowsOn();
        lampButton->setIcon(imageFromResource<QIcon>(switchOn ? SwitchOnImage : SwitchOffImage));
    }
    if (channel.indicatorLit() != lit) {
        lit = channel.indicatorLit();
        indicator->show(lit);
    }
    if (const auto enabled = channel.activeButtonEnabled())
        activeButton->setEnabled(*enabled);
    if (const auto enabled = channel.lampButtonEnabled())
        lampButton->setEnabled(*enabled);
    describe();
}

void ChannelWidgets::describe()
{
    const ChannelWords words = channelWords({channel.receiver(),
                                             channel.isActive(),
                                             channel.currentOperation() != Channel::Confirmed,
                                             channel.isLampOn(),
                                             channel.switchShowsOn()});
    describeWidget(lampLed, words.lamp);
    describeWidget(lampButton, words.lampSwitch);
    describeWidget(activeButton, words.active);
}
