#pragma once

#include "link/telegram.h"

#include <QLoggingCategory>
#include <QString>

// The radio traffic and the line's life, for troubleshooting. Off by default;
// QT_LOGGING_RULES="lumo.link.debug=true" turns it on. Write to it with qCDebug(lumoLink), which
// builds nothing while the category is off.
Q_DECLARE_LOGGING_CATEGORY(lumoLink)

// One trace line for a command telegram the panel wrote: direction, its eight bytes and what it
// asks. `channel` is the sending channel's number, 1 to 4, or 0 when not known.
QString describeSent(const TelegramFrame &frame, int channel);

// One trace line for a frame received, given its body as the framing cut it. `channel` is the
// number of the channel it goes to, or 0 when no channel has its address.
QString describeReceived(const quint8 *body, int channel);
