#pragma once

#include "bus/busplugin.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QPointer>
#include <QVariantMap>

#include <vector>

// The channels on the session bus: one object per channel below <app path>/channel, with the
// versioned interface of bus/channel1.xml.in and nothing else. Calls become requests on the
// one command path; property changes are announced as the channels announce theirs.
class ChannelBus : public QDBusVirtualObject
{
    Q_OBJECT

public:
    explicit ChannelBus(QObject *parent = nullptr);

    // Registers the objects; false when the connection refuses them.
    bool registerOn(const QDBusConnection &connection);
    // From now on calls reach `channels`; until then they end with NoTransmitter.
    void attach(BusChannels *channels);

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    void callChannel(int number, const QDBusMessage &message, const QDBusConnection &connection);
    void callProperties(int number, const QDBusMessage &message, const QDBusConnection &connection);
    QVariantMap properties(int number) const;
    // Sends PropertiesChanged with what differs from what was last told.
    void announce(int number);

    QDBusConnection bus;
    QPointer<BusChannels> channels; // none once the window has gone
    std::vector<QVariantMap> told;  // per channel, the properties last announced
};
