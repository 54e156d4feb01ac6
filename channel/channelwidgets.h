#pragma once

#include "accessibility/channelwords.h"

#include <QObject>

#include <optional>

class Channel;
class LampIndicator;
class QLabel;
class QPushButton;

// The three widgets of a channel's column: they show what the channel announces, and tell of
// their presses, which go to the channel as requests like any other.
class ChannelWidgets : public QObject
{
    Q_OBJECT

public:
    // A child of `channel`. Sets the active button's image; the layout gave the others.
    ChannelWidgets(Channel *channel,
                   QPushButton *activeButton,
                   QPushButton *lampButton,
                   QLabel *lampLed);

signals:
    void activePressed();
    void lampPressed();

private:
    enum class ActiveImage { Black, White, Green };
    // Sets only what changed: the indicator blinks ten times a second.
    void show();
    // Puts what the widgets show into words for assistive technology and tool tips.
    void describe();

    const Channel &channel;
    QPushButton *const activeButton;
    QPushButton *const lampButton;
    QLabel *const lampLed;
    LampIndicator *const indicator; // shows the lamp on lampLed
    std::optional<ActiveImage> activeImage;
    bool switchOn = false; // the layout's images: switched off, indicator off
    bool lit = false;
    std::optional<ChannelView> described; // what the words last set say
};
