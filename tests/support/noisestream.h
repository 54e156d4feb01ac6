#pragma once

#include "link/telegram.h"

#include <QByteArray>

#include <array>
#include <vector>

// A busy line for the panel's receive path, the same for the same seed: reports with a wrong
// checksum (each one a channel takes writes exactly one "Invalid CRC" line), some with junk
// before their end byte; echoed commands; line noise without start bytes (a start byte in the
// noise would rightly swallow the next frame: the framing has no way to find its place again);
// and frames cut short after the start byte, then ended by filler, which can reach no active
// channel.
struct NoiseStream
{
    QByteArray bytes;
    int wellFormed = 0;                // the reports among them, each taken by its channel
    std::array<quint8, 4> lastState{}; // the state each channel's last report said
};

// At least `size` bytes, whose reports go to the channels (0 to 3) named in `active`, whose
// receivers have the `addresses`.
NoiseStream noiseStream(qsizetype size,
                        const std::array<ChannelAddress, 4> &addresses,
                        const std::vector<int> &active,
                        unsigned seed);
