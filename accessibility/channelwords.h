#pragma once

#include <QCoreApplication>
#include <QString>

// What the three widgets of a channel column show, as far as words can tell it.
struct ChannelView
{
    bool receiver = false; // an address other than 00 00 00
    bool active = false;
    bool waiting = false;  // a query or a command waits for the receiver's report
    bool lampOn = false;   // the lamp state the indicator shows once a report was accepted
    bool switchOn = false; // the image the lamp switch shows

    bool operator==(const ChannelView &other) const
    {
        return receiver == other.receiver && active == other.active && waiting == other.waiting
               && lampOn == other.lampOn && switchOn == other.switchOn;
    }
    bool operator!=(const ChannelView &other) const { return !(*this == other); }
};

// The words for each widget: its accessible description and its tool tip.
struct ChannelWords
{
    Q_DECLARE_TR_FUNCTIONS(ChannelWords)

public:
    QString lamp;
    QString lampSwitch;
    QString active;

    bool operator==(const ChannelWords &other) const
    {
        return lamp == other.lamp && lampSwitch == other.lampSwitch && active == other.active;
    }
    bool operator!=(const ChannelWords &other) const { return !(*this == other); }
};

ChannelWords channelWords(const ChannelView &view);
