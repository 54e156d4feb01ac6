#pragma once

#include "link/telegram.h"

#include <QLoggingCategory>
#include <QString>

#include <optional>

// The radio traffic and the line's life, for troubleshooting. Off by default;
// QT_LOGGING_RULES="lumo.link.debug=true" turns it on. Write to it with qCDebug(lumoLink), which
// builds nothing while the category is off.
Q_DECLARE_LOGGING_CATEGORY(lumoLink)

// What a trace line is about, for the log limit, which holds each kind to a few a second as it
// does the anomaly lines: the frames sent, the frames received, and the line's life.
enum class TraceLine { Sent, Received, Link };
constexpr int TraceLineCount = int(TraceLine::Link) + 1;

// Writes `text` to the trace as a line of `kind`. Call it only while the trace is on, so that
// nothing is built for it otherwise.
void writeTraceLine(TraceLine kind, const QString &text);

// The trace line this thread is writing right now, if any: for the log's message handler.
std::optional<TraceLine> traceLineBeingWritten();

// One trace line for a command telegram the panel wrote: direction, its eight bytes and what it
// asks. `channel` is the sending channel's number, 1 to 4, or 0 when not known.
QString describeSent(const TelegramFrame &frame, int channel);

// One trace line for a frame received, given its body as the framing cut it. `channel` is the
// number of the channel it goes to, or 0 when no channel has its address.
QString describeReceived(const quint8 *body, int channel);
