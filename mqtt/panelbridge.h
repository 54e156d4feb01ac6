#pragma once

#include "mqtt/mqttbridge.h"

#include <QStringList>

#include <memory>

class MainWindow;

// Starts the MQTT bridge for the panel when the first of `candidates` (see
// bridgeSettingsCandidates()) turns it on, and ties it to the window: the house's requests go
// the one way into the channels that presses take, the receivers' reports and the
// transmitter's loss and return go to the broker. None when the bridge stays off.
std::unique_ptr<MqttBridge> startPanelBridge(MainWindow &window, const QStringList &candidates);
