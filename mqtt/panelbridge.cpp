#include "panelbridge.h"

#include "app/mainwindow.h"
#include "app/version.h"
#include "channel/channelrequests.h"
#include "link/transmitterlink.h"

#include <QSysInfo>

std::unique_ptr<MqttBridge> startPanelBridge(MainWindow &window, const QStringList &candidates)
{
    const BridgeStart start = loadBridgeSettings(candidates, QSysInfo::machineHostName());
    if (!start.enabled)
        return nullptr;
    std::array<bool, ChannelCount> receivers{};
    for (int n = 0; n < ChannelCount; ++n)
        receivers[n] = window.channel(n).receiver();
    auto bridge = std::make_unique<MqttBridge>(start, receivers, QStringLiteral(LUMO_VERSION));
    MqttBridge *const b = bridge.get();
    ChannelRequests *const requests = window.channelRequests();
    QObject::connect(b, &MqttBridge::switchRequested, requests, [requests](int number, bool on) {
        requests->request(number,
                          on ? ChannelRequests::Kind::SwitchOn : ChannelRequests::Kind::SwitchOff);
    });
    for (int n = 0; n < ChannelCount; ++n) {
        QObject::connect(&window.channel(n), &Channel::reportAccepted, b, [b, n](bool lampOn) {
            b->lampReported(n + 1, lampOn);
        });
    }
    QObject::connect(&window.link(), &TransmitterLink::inUse, b, &MqttBridge::setTransmitterPresent);
    b->start();
    return bridge;
}
