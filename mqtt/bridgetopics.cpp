#include "bridgetopics.h"

#include "link/telegram.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QByteArray On = QByteArrayLiteral("ON");
const QByteArray Off = QByteArrayLiteral("OFF");
const QByteArray Online = QByteArrayLiteral("online");
const QByteArray Offline = QByteArrayLiteral("offline");

} // namespace

QByteArray lampPayload(bool on)
{
    return on ? On : Off;
}

QByteArray availabilityPayload(bool available)
{
    return available ? Online : Offline;
}

QString BridgeTopics::status() const
{
    return prefix + QStringLiteral("/status");
}

QString BridgeTopics::transmitter() const
{
    return prefix + QStringLiteral("/transmitter");
}

QString BridgeTopics::state(int channel) const
{
    return prefix + QStringLiteral("/channel/%1/state").arg(channel);
}

QString BridgeTopics::set(int channel) const
{
    return prefix + QStringLiteral("/channel/%1/set").arg(channel);
}

QString BridgeTopics::setFilter() const
{
    return prefix + QStringLiteral("/channel/+/set");
}

QString BridgeTopics::discoveryStatus() const
{
    return discoveryPrefix + QStringLiteral("/status");
}

QString BridgeTopics::discoveryConfig(int channel) const
{
    return discoveryPrefix
           + QStringLiteral("/light/%1/channel_%2/config").arg(nodeId()).arg(channel);
}

QString BridgeTopics::nodeId() const
{
    QString id = prefix;
    for (QChar &c : id) {
        const bool allowed = (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
                             || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
                             || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                             || c == QLatin1Char('_') || c == QLatin1Char('-');
        if (!allowed)
            c = QLatin1Char('_');
    }
    return id;
}

IncomingMessage readIncoming(const BridgeTopics &topics,
                             const QByteArray &topic,
                             const QByteArray &payload)
{
    IncomingMessage message;
    if (payload.size() > MaxIncomingPayload) {
        message.problem = QStringLiteral("MQTT message on %1 ignored: more than %2 bytes")
                              .arg(QString::fromUtf8(topic.left(200)))
                              .arg(MaxIncomingPayload);
        return message;
    }
    if (topic == topics.discoveryStatus().toUtf8()) {
        if (payload == Online)
            message.kind = IncomingMessage::DiscoveryOnline;
        return message;
    }
    const QByteArray head = (topics.prefix + QStringLiteral("/channel/")).toUtf8();
    const QByteArray tail = QByteArrayLiteral("/set");
    if (!topic.startsWith(head) || !topic.endsWith(tail)
        || topic.size() < head.size() + tail.size()) {
        message.problem = QStringLiteral("MQTT message on %1 ignored: not a topic of the panel")
                              .arg(QString::fromUtf8(topic.left(200)));
        return message;
    }
    const QByteArray number = topic.mid(head.size(), topic.size() - head.size() - tail.size());
    const int channel = number.size() == 1 ? number.at(0) - '0' : 0;
    if (channel < 1 || channel > ChannelCount) {
        message.problem = QStringLiteral("MQTT message on %1 ignored: there are channels 1 to 4")
                              .arg(QString::fromUtf8(topic.left(200)));
        return message;
    }
    if (payload != On && payload != Off) {
        message.problem = QStringLiteral("MQTT message on %1 ignored: expected ON or OFF")
                              .arg(QString::fromUtf8(topic));
        return message;
    }
    message.kind = IncomingMessage::SwitchRequest;
    message.channel = channel;
    message.on = payload == On;
    return message;
}

QByteArray discoveryConfig(const BridgeTopics &topics, int channel, const QString &version)
{
    const QString node = topics.nodeId();
    QJsonObject availablePanel{{QStringLiteral("topic"), topics.status()},
                               {QStringLiteral("payload_available"), QString::fromLatin1(Online)},
                               {QStringLiteral("payload_not_available"),
                                QString::fromLatin1(Offline)}};
    QJsonObject availableTransmitter = availablePanel;
    availableTransmitter[QStringLiteral("topic")] = topics.transmitter();
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{node}},
        {QStringLiteral("name"), QStringLiteral("Lumo Win (%1)").arg(topics.prefix)},
        {QStringLiteral("model"), QStringLiteral("Lumo Win")},
        {QStringLiteral("sw_version"), version},
    };
    const QJsonObject config{
        {QStringLiteral("name"), QStringLiteral("Channel %1").arg(channel)},
        {QStringLiteral("unique_id"), QStringLiteral("%1_channel_%2").arg(node).arg(channel)},
        {QStringLiteral("command_topic"), topics.set(channel)},
        {QStringLiteral("state_topic"), topics.state(channel)},
        {QStringLiteral("payload_on"), QString::fromLatin1(On)},
        {QStringLiteral("payload_off"), QString::fromLatin1(Off)},
        {QStringLiteral("optimistic"), false},
        {QStringLiteral("availability"), QJsonArray{availablePanel, availableTransmitter}},
        {QStringLiteral("availability_mode"), QStringLiteral("all")},
        {QStringLiteral("device"), device},
    };
    return QJsonDocument(config).toJson(QJsonDocument::Compact);
}
