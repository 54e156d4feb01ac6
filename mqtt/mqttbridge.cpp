#include "mqttbridge.h"

#include "mqtt/mqttclient.h"

#include <QDebug>

namespace {

constexpr int ComplaintsPerSecond = 3;

MqttClient::Options clientOptions(const BridgeStart &start, const BridgeTopics &topics)
{
    MqttClient::Options options;
    options.host = start.settings.host;
    options.port = start.settings.effectivePort();
    options.tls = start.settings.tls;
    options.caFile = start.settings.caFile;
    options.user = start.settings.user;
    options.password = start.password;
    options.willTopic = topics.status();
    options.willPayload = availabilityPayload(false);
    return options;
}

} // namespace

MqttBridge::MqttBridge(const BridgeStart &start,
                       const std::array<bool, ChannelCount> &hasReceiver,
                       const QString &version,
                       QObject *parent)
    : QObject(parent)
    , bridgeTopics{start.settings.topicPrefix, start.settings.discoveryPrefix}
    , receivers(hasReceiver)
    , version(version)
{
    mqtt = new MqttClient(clientOptions(start, bridgeTopics), this);
    connect(mqtt, &MqttClient::connected, this, &MqttBridge::onConnected);
    connect(mqtt, &MqttClient::messageReceived, this, &MqttBridge::onMessage);
}

MqttBridge::~MqttBridge()
{
    mqtt->close(bridgeTopics.status(), availabilityPayload(false));
}

void MqttBridge::start()
{
    mqtt->start();
}

void MqttBridge::lampReported(int number, bool on)
{
    if (number < 1 || number > ChannelCount)
        return;
    lamps[number - 1] = on;
    mqtt->publish(bridgeTopics.state(number), lampPayload(on), true);
}

void MqttBridge::setTransmitterPresent(bool present)
{
    transmitterPresent = present;
    mqtt->publish(bridgeTopics.transmitter(), availabilityPayload(present), true);
}

void MqttBridge::onConnected()
{
    mqtt->publish(bridgeTopics.status(), availabilityPayload(true), true);
    mqtt->publish(bridgeTopics.transmitter(), availabilityPayload(transmitterPresent), true);
    announce();
    for (int number = 1; number <= ChannelCount; ++number) {
        if (receivers[number - 1] && lamps[number - 1])
            mqtt->publish(bridgeTopics.state(number), lampPayload(*lamps[number - 1]), true);
    }
    mqtt->subscribe(bridgeTopics.setFilter());
    mqtt->subscribe(bridgeTopics.discoveryStatus());
}

void MqttBridge::announce()
{
    for (int number = 1; number <= ChannelCount; ++number) {
        // An empty retained config takes back what an earlier run announced for the channel.
        const QByteArray config = receivers[number - 1]
                                      ? discoveryConfig(bridgeTopics, number, version)
                                      : QByteArray();
        mqtt->publish(bridgeTopics.discoveryConfig(number), config, true);
    }
}

void MqttBridge::onMessage(const QByteArray &topic, const QByteArray &payload)
{
    const IncomingMessage message = readIncoming(bridgeTopics, topic, payload);
    switch (message.kind) {
    case IncomingMessage::Ignored:
        if (!message.problem.isEmpty())
            complain(message.problem);
        break;
    case IncomingMessage::DiscoveryOnline:
        announce();
        break;
    case IncomingMessage::SwitchRequest:
        if (receivers[message.channel - 1])
            emit switchRequested(message.channel, message.on);
        else
            complain(QStringLiteral("MQTT message on %1 ignored: channel %2 has no receiver")
                         .arg(QString::fromUtf8(topic))
                         .arg(message.channel));
        break;
    }
}

void MqttBridge::complain(const QString &line)
{
    if (!complaintWindow.isValid() || complaintWindow.elapsed() >= 1000) {
        complaintWindow.start();
        complaints = 0;
    }
    if (complaints >= ComplaintsPerSecond) {
        ++untold;
        return;
    }
    ++complaints;
    if (untold > 0) {
        qDebug().noquote() << QStringLiteral("%1 more MQTT messages ignored").arg(untold);
        untold = 0;
    }
    qDebug().noquote() << line;
}
