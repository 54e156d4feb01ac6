#include "channelwidgets.h"

#include "channel/channel.h"
#include "accessibility/channelwords.h"
#include "channel/lampindicator.h"

#include <QCoreApplication>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace {
const char ActiveBlack[] = ":/res/Glossy_Button_Black.png";
const char ActiveWhite[] = ":/res/Glossy_Button_White.png";
const char ActiveGreen[] = ":/res/Glossy_Button_Light_Green.png";
const char SwitchOnImage[] = ":/res/switch-on.png";
const char SwitchOffImage[] = ":/res/switch-off.png";

// Each icon is made once and kept until the application object goes. Its image is decoded when
// it is first drawn, at the size it is drawn at (see LazyIconEngine), and kept with it, whatever
// Qt's pixmap cache drops.
const QIcon &iconFromResource(const char *path)
{
    static QHash<const char *, QIcon> icons; // keyed by the path constants above
    auto found = icons.constFind(path);
    if (found == icons.constEnd()) {
        if (icons.isEmpty())
            qAddPostRoutine([] { icons.clear(); }); // no pixmap may outlive the application
        found = icons.insert(path, QIcon(QString::fromLatin1(path)));
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
        activeButton->setIcon(iconFromResource(path));
    }
    if (channel.switchShowsOn() != switchOn) {
        switchOn = channel.switchShowsOn();
        lampButton->setIcon(iconFromResource(switchOn ? SwitchOnImage : SwitchOffImage));
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
    const ChannelView view{channel.receiver(),
                           channel.isActive(),
                           channel.currentOperation() != Channel::Confirmed,
                           channel.isLampOn(),
                           channel.switchShowsOn()};
    // The words follow from the view alone, and most ticks only blink the indicator.
    if (view == described)
        return;
    described = view;
    const ChannelWords words = channelWords(view);
    describeWidget(lampLed, words.lamp);
    describeWidget(lampButton, words.lampSwitch);
    describeWidget(activeButton, words.active);
}
