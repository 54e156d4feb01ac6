#include "panelbus.h"

#include "bus/applicationadaptor.h"
#include "bus/businterface.h"
#include "bus/channelbus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDebug>
#include <QVariantMap>

namespace {
// How long a second start waits for the first to raise its window.
constexpr int ActivateTimeoutMs = 10000;
} // namespace

PanelBus::PanelBus(QObject *parent)
    : QObject(parent)
{}

PanelBus::~PanelBus()
{
    withdraw();
}

PanelBus::Claim PanelBus::claim()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qDebug().noquote() << "No session bus, so no D-Bus interface and no check for a running "
                              "panel:"
                           << bus.lastError().message();
        return Claim::NoBus;
    }
    application = new QObject(this);
    new ApplicationAdaptor(application, [this](const QString &token) {
        if (raise)
            raise(token);
    });
    channels = new ChannelBus(this);
    if (!bus.registerObject(QStringLiteral(LUMO_APP_PATH),
                            application,
                            QDBusConnection::ExportAdaptors)
        || !channels->registerOn(bus)) {
        qDebug().noquote() << "The session bus refused the panel's objects; going on without "
                              "them";
        withdraw();
        return Claim::NoBus;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply
        = bus.interface()->registerService(QStringLiteral(LUMO_APP_ID),
                                           QDBusConnectionInterface::DontQueueService,
                                           QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        qDebug().noquote() << "The session bus refused the name " LUMO_APP_ID ":"
                           << reply.error().message();
        withdraw();
        return Claim::NoBus;
    }
    if (reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        owner = true;
        return Claim::Owner;
    }

    withdraw();
    QVariantMap platformData;
    for (const auto &[key, variable] : {std::pair{"activation-token", "XDG_ACTIVATION_TOKEN"},
                                        std::pair{"desktop-startup-id", "DESKTOP_STARTUP_ID"}}) {
        if (qEnvironmentVariableIsSet(variable))
            platformData.insert(QLatin1String(key), qEnvironmentVariable(variable));
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral(LUMO_APP_ID),
                                                       QStringLiteral(LUMO_APP_PATH),
                                                       QStringLiteral(
                                                           "org.freedesktop.Application"),
                                                       QStringLiteral("Activate"));
    call << platformData;
    const QDBusMessage answer = bus.call(call, QDBus::Block, ActivateTimeoutMs);
    if (answer.type() == QDBusMessage::ErrorMessage) {
        otherFailed = answer.errorMessage();
        return Claim::OtherIsSilent;
    }
    return Claim::Activated;
}

void PanelBus::attach(BusChannels *panelChannels, std::function<void(const QString &)> activate)
{
    raise = std::move(activate);
    if (channels)
        channels->attach(panelChannels);
}

void PanelBus::withdraw()
{
    if (!application)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (owner)
        bus.interface()->unregisterService(QStringLiteral(LUMO_APP_ID));
    owner = false;
    bus.unregisterObject(QStringLiteral(LUMO_APP_PATH "/channel"));
    bus.unregisterObject(QStringLiteral(LUMO_APP_PATH));
    delete channels;
    delete application;
    channels = nullptr;
    application = nullptr;
}
