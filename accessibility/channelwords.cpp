#include "channelwords.h"

#include <QCoreApplication>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("Channel", text);
}
} // namespace

ChannelWords channelWords(const ChannelView &view)
{
    if (!view.receiver) {
        const QString none = tr("No receiver");
        return {none, none, none};
    }
    ChannelWords words;
    // An inactive channel shows its lamp off, whatever the lamp did last.
    if (view.active && view.waiting)
        words.lamp = tr("Waiting for the receiver");
    else
        words.lamp = view.active && view.lampOn ? tr("Lamp on") : tr("Lamp off");
    words.lampSwitch = view.switchOn ? tr("Switched on") : tr("Switched off");
    words.active = view.active ? tr("In use") : tr("Not in use");
    return words;
}
