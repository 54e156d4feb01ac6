#pragma once

#include "link/telegram.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class MainWindow;

// The bytes of a telegram frame as they go on the wire.
QByteArray frameBytes(const TelegramFrame &frame);
// A receiver's report of its lamp `state`, as it arrives on the wire.
QByteArray reportBytes(const ChannelAddress &address, quint8 state);

// Writes `addresses` as the address file "lumo-win.channels" in `dir` and builds a main window
// on it. The window opens the port that LUMO_WIN_PORT names (see PtyPeer::useAsTransmitter()).
MainWindow *openPanel(const QString &dir, const QByteArray &addresses);

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
