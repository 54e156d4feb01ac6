#include "noisestream.h"

#include "support/wireandlog.h"

#include <random>

NoiseStream noiseStream(qsizetype size,
                        const std::array<ChannelAddress, 4> &addresses,
                        const std::vector<int> &active,
                        unsigned seed)
{
    std::mt19937 random(seed);
    auto noise = [&random](int length) {
        QByteArray junk;
        while (junk.size() < length) {
            const char c = char(random() & 0xFF);
            if (quint8(c) != Telegram::StartByte)
                junk += c;
        }
        return junk;
    };
    auto anyActive = [&] { return active[random() % active.size()]; };

    NoiseStream stream;
    while (stream.bytes.size() < size) {
        switch (random() % 5) {
        case 0:
        case 1: {
            const int n = anyActive();
            const quint8 state = quint8(random() & 1);
            TelegramFrame frame = buildTelegram(Telegram::ReportKind, addresses[n], state);
            frame[6] ^= 0x5A;
            QByteArray report = frameBytes(frame);
            if (random() % 4 == 0)
                report.insert(7, noise(1 + int(random() % 5)).replace('\x03', '\x7F'));
            stream.bytes += report;
            stream.lastState[n] = state;
            ++stream.wellFormed;
            break;
        }
        case 2:
            stream.bytes += frameBytes(
                commandTelegram(addresses[anyActive()], Telegram::ReportState));
            break;
        case 3:
            stream.bytes += noise(1 + int(random() % 24));
            break;
        case 4: {
            const int kept = int(random() % 4); // start byte, then up to three body bytes
            const QByteArray cut = QByteArray(1, char(Telegram::StartByte))
                                   + frameBytes(buildTelegram(Telegram::ReportKind,
                                                              addresses[anyActive()],
                                                              1))
                                         .mid(1, kept);
            stream.bytes += cut + QByteArray(Telegram::BodyLength - kept, '\0')
                            + char(Telegram::EndByte);
            break;
        }
        }
    }
    return stream;
}
