#pragma once

#include "link/framing.h"
#include "sim/pseudoterminal.h"
#include "sim/radio.h"
#include "sim/simoptions.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class QSocketNotifier;

// The transmitter on the far end of the panel's serial line: frames what the panel writes, lets
// the radio's receivers answer after the reply delay, and traces every telegram both ways.
class VirtualTransmitter : public QObject
{
    Q_OBJECT

public:
    using TraceSink = std::function<void(const QString &line)>;

    // `trace` gets each trace line without its newline; pass nothing for no trace.
    VirtualTransmitter(const SimOptions &options, TraceSink trace, QObject *parent = nullptr);
    ~VirtualTransmitter() override;

    bool open(QString *error);
    QString portPath() const { return line.slavePath(); }
    // Starts listening, the unasked reports and the hang-up clock.
    void start();
    // Hangs up the line for good, with a note in the trace.
    void hangUp(const QString &why);
    // A trace line that is not a telegram.
    void note(const QString &text);

    const Radio &radio() const { return receivers; }

signals:
    // The line was hung up by --hang-up-after.
    void hungUpByItself();

private:
    void readFromPanel();
    void watchForPanel();
    void take(quint8 byte);
    void flushStrayBytes();
    void sendToPanel(const QByteArray &frame, const QString &meaning);
    void traceBytes(const char *direction, const QByteArray &bytes, const QString &meaning);

    SimOptions options;
    TraceSink trace;
    Radio receivers;
    PseudoTerminal line;
    QSocketNotifier *reader = nullptr;
    QTimer panelWatch;
    QTimer unaskedTimer;
    QElapsedTimer clock;
    RxBuffer rxBuffer;
    bool inFrame = false;
    QByteArray frameBytes; // the current frame as it came, for the trace
    QByteArray strayBytes; // bytes outside any frame since the last trace line
};
