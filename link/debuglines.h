#pragma once

#include <QLatin1String>
#include <QString>

#include <optional>

// The program's fixed debug lines, each defined once. The log limit tells them apart by this
// identity, so rewording a line cannot let it slip past the limit.
enum class DebugLine {
    // The anomalies the radio can cause: the log limit holds each of them to a few a second.
    AddressNotFound,
    InvalidCrc,
    InvalidCommand,
    StaleOn,
    StaleOff,
    InvalidSize, // followed by the length received
    // Start-up, written once each.
    StartUsingConfigFile, // followed by the path
    OpenedSerialPort,
    Initialize,
};

constexpr int AnomalyLineCount = int(DebugLine::InvalidSize) + 1;

inline bool isAnomaly(DebugLine line)
{
    return int(line) < AnomalyLineCount;
}

QLatin1String debugLineText(DebugLine line);

// `text` fit for one log line: control characters (a newline would start a line of its own)
// are written as escapes such as \n or \x1b. With `asciiOnly`, for Latin-1 text made from a
// file's bytes, every byte outside printable ASCII, the quotation mark and the backslash are
// written as \xNN.
QString printableForLog(const QString &text, bool asciiOnly = false);

// Writes `line` to the debug log, `detail` after a blank when given.
void writeDebugLine(DebugLine line, const QString &detail = QString());

// The fixed line this thread is writing right now, if any: for the log's message handler.
std::optional<DebugLine> debugLineBeingWritten();
