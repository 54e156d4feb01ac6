#include "channelwords.h"

ChannelWords channelWords(const ChannelView &view)
{
    if (!view.receiver) {
        const QString none = ChannelWords::tr("No receiver");
        return {none, none, none};
    }
    ChannelWords words;
    // An inactive channel shows its lamp off, whatever the lamp did last.
    if (view.active && view.waiting)
        words.lamp = ChannelWords::tr("Waiting for the receiver");
    else
        words.lamp = view.active && view.lampOn ? ChannelWords::tr("Lamp on")
                                                : ChannelWords::tr("Lamp off");
    words.lampSwitch = view.switchOn ? ChannelWords::tr("Switched on")
                                     : ChannelWords::tr("Switched off");
    words.active = view.active ? ChannelWords::tr("In use") : ChannelWords::tr("Not in use");
    return words;
}
