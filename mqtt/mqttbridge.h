#pragma once

#include "mqtt/bridgesettings.h"
#include "link/telegram.h"
#include "mqtt/bridgetopics.h"

#include <QElapsedTimer>
#include <QObject>

#include <array>
#include <optional>

class MqttClient;

// The panel in the house's MQTT broker: tells it which lamps there are (Home Assistant's
// discovery), what their receivers last reported and whether the panel and its transmitter are
// there, and passes the house's ON / OFF requests on as switchRequested(). Widget-free: the
// panel feeds it reports and the transmitter's state and carries out its requests.
class MqttBridge : public QObject
{
    Q_OBJECT

public:
    MqttBridge(const BridgeStart &start,
               const std::array<bool, ChannelCount> &hasReceiver,
               const QString &version,
               QObject *parent = nullptr);
    // Says "offline" and leaves the broker.
    ~MqttBridge() override;

    void start();
    const BridgeTopics &topics() const { return bridgeTopics; }
    MqttClient *client() const { return mqtt; }

    // A receiver of channel `number` (1 to 4) reported its lamp.
    void lampReported(int number, bool on);
    // The transmitter was lost (false) or is in use again (true).
    void setTransmitterPresent(bool present);

signals:
    // The house asks to switch the lamp of channel `number` (1 to 4, with a receiver).
    void switchRequested(int number, bool on);

private:
    void onConnected();
    void onMessage(const QByteArray &topic, const QByteArray &payload);
    void announce();
    // Writes `line` unless too many were written this second.
    void complain(const QString &line);

    BridgeTopics bridgeTopics;
    MqttClient *mqtt = nullptr;
    const std::array<bool, ChannelCount> receivers;
    const QString version;
    std::array<std::optional<bool>, ChannelCount> lamps; // as last reported
    bool transmitterPresent = true;
    QElapsedTimer complaintWindow;
    int complaints = 0; // written in the current second
    int untold = 0;     // held back since the last one written
};
