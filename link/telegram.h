#pragma once

#include <QtGlobal>

#include <array>

// The eight-byte frame exchanged with the receivers: STX, kind, three address bytes, command or
// state, checksum, ETX. There is no escaping; a frame is delimited by its fixed length.
namespace Telegram {
constexpr quint8 StartByte = 0x02;
constexpr quint8 EndByte = 0x03;
constexpr quint8 CommandKind = 0x05;
constexpr quint8 ReportKind = 0x85;
constexpr int FrameLength = 8;
constexpr int BodyLength = 6;

// Command codes; in a report, 0 and 1 are the lamp's state.
constexpr quint8 LampOff = 0;
constexpr quint8 LampOn = 1;
constexpr quint8 ReportState = 2;
} // namespace Telegram

// The panel's channels, one per receiver, numbered 1 to ChannelCount.
constexpr int ChannelCount = 4;

// Three opaque bytes in wire order; 00 00 00 marks a channel without receiver.
using ChannelAddress = std::array<quint8, 3>;
using TelegramFrame = std::array<quint8, Telegram::FrameLength>;

// Checksum over the first five body bytes (kind, address, command): the byte sum with its
// nibbles swapped, plus 0x11, all modulo 256.
quint8 telegramChecksum(const quint8 *fiveBytes) noexcept;

bool hasReceiver(const ChannelAddress &address) noexcept;

TelegramFrame buildTelegram(quint8 kind, const ChannelAddress &address, quint8 code) noexcept;
inline TelegramFrame commandTelegram(const ChannelAddress &address, quint8 code) noexcept
{
    return buildTelegram(Telegram::CommandKind, address, code);
}
