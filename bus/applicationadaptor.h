#pragma once

#include <QDBusAbstractAdaptor>
#include <QVariantMap>

#include <functional>

// org.freedesktop.Application's Activate, by which a second start of the panel asks the running
// one to raise its window, passing on the startup or activation token it was given.
class ApplicationAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    using Raise = std::function<void(const QString &token)>;
    ApplicationAdaptor(QObject *object, Raise raise);

public slots:
    void Activate(const QVariantMap &platformData);

private:
    const Raise raise;
};
