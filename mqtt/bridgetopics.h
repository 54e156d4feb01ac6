#pragma once

#include <QByteArray>
#include <QString>

// The bridge's topics under its prefix, and what Home Assistant is told about them:
//   <prefix>/status             online / offline (retained; offline is also the last will)
//   <prefix>/transmitter        online / offline (retained): whether the transmitter is in use
//   <prefix>/channel/N/state    ON / OFF (retained), from the receiver's reports only
//   <prefix>/channel/N/set      ON / OFF, requests from the house
//   <discovery>/status          online when Home Assistant (re)starts: time to announce again
//   <discovery>/light/<node>/channel_N/config   one retained announcement per channel
struct BridgeTopics
{
    QString prefix;
    QString discoveryPrefix;

    QString status() const;
    QString transmitter() const;
    QString state(int channel) const;
    QString set(int channel) const;
    // Every channel's set topic, also those of channels that do not exist, so that a request
    // for channel 0 or 5 is seen and reported rather than lost without a word.
    QString setFilter() const;
    QString discoveryStatus() const;
    QString discoveryConfig(int channel) const;
    // The panel's name in Home Assistant's ids: the prefix with anything but letters, digits,
    // "_" and "-" replaced by "_".
    QString nodeId() const;
};

// "ON" / "OFF" on a state topic; "online" / "offline" on an availability topic.
QByteArray lampPayload(bool on);
QByteArray availabilityPayload(bool available);

// Nothing longer is read from the broker.
constexpr int MaxIncomingPayload = 1024;

struct IncomingMessage
{
    enum Kind { Ignored, SwitchRequest, DiscoveryOnline };
    Kind kind = Ignored;
    int channel = 0; // 1 to 4, for a SwitchRequest
    bool on = false;
    QString problem; // why an Ignored message was wrong, for the debug log; empty when harmless
};

// What a message from the broker asks for. Only "ON" and "OFF" on the set topic of channel 1 to
// 4 are requests; a channel without receiver is the caller's to refuse.
IncomingMessage readIncoming(const BridgeTopics &topics,
                             const QByteArray &topic,
                             const QByteArray &payload);

// The retained announcement of `channel` for Home Assistant's MQTT discovery: a light with a
// unique id that stays the same for the same prefix and channel, available while the panel and
// the transmitter both are, and the panel as its device.
QByteArray discoveryConfig(const BridgeTopics &topics, int channel, const QString &version);
