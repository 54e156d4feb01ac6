#pragma once

#include "link/telegram.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>

using ChannelAddresses = std::array<ChannelAddress, ChannelCount>;

struct ChannelAddressFile
{
    ChannelAddresses addresses{}; // channels without a usable line keep 00 00 00
    QStringList problems;         // one log line per problem, naming file and line number
};

// Parses the hand-edited address file: one channel per line in channel order, "#" starts a
// comment, blank lines are skipped, an address is three hex bytes in wire order written as
// "12 34 56" or "123456". 00 00 00, a missing line or a malformed line leaves the channel without
// receiver. Safe on any bytes; a problem never stops the channels after it from being read.
ChannelAddressFile parseChannelAddresses(const QByteArray &content, const QString &fileName);

// Reads and parses the file at `path`, writing each problem (or the missing file) to the debug
// log. A missing or unreadable file gives four channels without receiver; so does anything but a
// regular file of at most 1 MiB (see readRegularFile()).
ChannelAddresses loadChannelAddresses(const QString &path);
