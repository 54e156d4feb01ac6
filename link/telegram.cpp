#include "telegram.h"

quint8 telegramChecksum(const quint8 *fiveBytes) noexcept
{
    unsigned sum = 0;
    for (int i = 0; i < 5; ++i)
        sum += fiveBytes[i];
    const unsigned s = sum & 0xFFu;
    const unsigned swapped = ((s << 4) | (s >> 4)) & 0xFFu;
    return static_cast<quint8>((swapped + 0x11u) & 0xFFu);
}

bool hasReceiver(const ChannelAddress &address) noexcept
{
    return address[0] != 0 || address[1] != 0 || address[2] != 0;
}

TelegramFrame buildTelegram(quint8 kind, const ChannelAddress &address, quint8 code) noexcept
{
    TelegramFrame frame{Telegram::StartByte,
                        kind,
                        address[0],
                        address[1],
                        address[2],
                        code,
                        0,
                        Telegram::EndByte};
    frame[6] = telegramChecksum(frame.data() + 1);
    return frame;
}
