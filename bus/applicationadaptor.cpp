#include "applicationadaptor.h"

#include <utility>

ApplicationAdaptor::ApplicationAdaptor(QObject *object, Raise raise)
    : QDBusAbstractAdaptor(object)
    , raise(std::move(raise))
{}

void ApplicationAdaptor::Activate(const QVariantMap &platformData)
{
    // Wayland's token, else the X11 startup notification id.
    QString token = platformData.value(QStringLiteral("activation-token")).toString();
    if (token.isEmpty())
        token = platformData.value(QStringLiteral("desktop-startup-id")).toString();
    raise(token);
}
