#pragma once

#include "link/telegram.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The bytes of a telegram frame as they go on the wire.
QByteArray frameBytes(const TelegramFrame &frame);
// A receiver's report of its lamp `state`, as it arrives on the wire.
QByteArray reportBytes(const ChannelAddress &address, quint8 state);

// Collects the debug lines written while it lives, instead of printing them.
class DebugLog
{
public:
    DebugLog();
    ~DebugLog();
    DebugLog(const DebugLog &) = delete;
    DebugLog &operator=(const DebugLog &) = delete;

    QStringList lines;
};
