#pragma once

#include "sim/simoptions.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>

// The four receivers behind the transmitter, and what the radio does to telegrams on the way:
// commands lost, reports with a wrong checksum, line noise. Knows nothing of the line itself.
class Radio
{
public:
    struct Receiver
    {
        ChannelAddress address{};
        bool lampOn = false;
        bool switchedOff = false;
    };

    enum class Verdict {
        Answered,
        SwitchedOff,
        Lost,
        UnknownAddress,
        UnknownCommand,
        WrongChecksum,
        NotACommand
    };

    struct Outcome
    {
        Verdict verdict = Verdict::NotACommand;
        int receiver = -1; // the addressed receiver, 0..3, or -1
        QString meaning;   // what the telegram said and what came of it, for the trace
        QByteArray reply;  // the report frame to send when answered
    };

    explicit Radio(const SimOptions &options);

    // A telegram body (six bytes) that came from the panel.
    Outcome receive(const quint8 *body);
    // The report frame of a receiver's lamp as it goes on the air, wrong checksum by chance.
    QByteArray report(int receiver);
    // A few random bytes to send before a report, by chance; empty otherwise. Never contains the
    // start byte, so the noise stays between frames and costs no telegram.
    QByteArray noiseBurst();

    const Receiver &receiver(int index) const { return receivers[size_t(index)]; }
    quint32 seed() const { return randomSeed; }

    // "report from 12 34 56 (receiver 1): lamp on", read from the frame's own bytes.
    QString describeReport(const QByteArray &frame) const;

private:
    int findReceiver(const quint8 *address) const;
    QString receiverName(const quint8 *address) const;
    bool chance(double percent);

    std::array<Receiver, ReceiverCount> receivers{};
    double losePercent;
    double badChecksumPercent;
    double noisePercent;
    quint32 randomSeed;
    QRandomGenerator random;
};
