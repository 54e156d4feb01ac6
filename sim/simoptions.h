#pragma once

#include "link/telegram.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>

constexpr int ReceiverCount = 4;

// How lumo-sim plays the transmitter and its four receivers; the defaults give a perfect radio.
struct SimOptions
{
    std::array<ChannelAddress, ReceiverCount> addresses{
        {{0x12, 0x34, 0x56}, {0x23, 0x45, 0x67}, {0x34, 0x56, 0x78}, {0x45, 0x67, 0x89}}};
    std::array<bool, ReceiverCount> switchedOff{};
    std::array<bool, ReceiverCount> lampOn{};
    int replyDelayMs = 80;
    double losePercent = 0;
    double badChecksumPercent = 0;
    double noisePercent = 0;
    int unaskedReceiver = -1; // 0..3, or -1 for none
    double unaskedEverySeconds = 0;
    double hangUpAfterSeconds = 0; // 0: never
    bool trace = false;
    QString channelsFile;
    quint32 seed = 0;
    bool seedGiven = false;
};

struct ParsedSimOptions
{
    enum Action { Run, ShowHelp, ShowVersion, Fail };
    Action action = Run;
    SimOptions options;
    QString text; // the help text, or the one-line error
};

// `arguments` includes the program name, as QCoreApplication::arguments() gives it.
ParsedSimOptions parseSimOptions(const QStringList &arguments);

// "12 34 56" as the panel's address file and the trace write it.
QString addressText(const ChannelAddress &address);

// The panel's ".channels" file naming the simulated receivers, in channel order.
QByteArray channelAddressFileContent(const SimOptions &options);
