#include "lampclient.h"

#include "app/commandline.h"
#include "app/version.h"
#include "link/telegram.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariantMap>

#include <cstdio>

namespace {

// Longer than a request can wait: its own three tries and those of every channel before it.
constexpr int ReplyTimeoutMs = 90000;

const char Interface[] = LUMO_APP_ID ".Channel1";

void say(FILE *stream, const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stream);
}

int noPanel()
{
    say(stderr, QStringLiteral("lumo-win: no panel is running in this session"));
    return RemoteExit::NoPanel;
}

QDBusMessage call(int channel, const QString &interface, const QString &member)
{
    return QDBusMessage::createMethodCall(QStringLiteral(LUMO_APP_ID),
                                          QStringLiteral(LUMO_APP_PATH "/channel/%1").arg(channel),
                                          interface,
                                          member);
}

// The exit status for an error reply, which is told on standard error.
int failed(const QDBusMessage &reply)
{
    const QString name = reply.errorName();
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
        || name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return noPanel();
    say(stderr, QStringLiteral("lumo-win: ") + reply.errorMessage());
    return RemoteExit::NotDone;
}

QString statusLine(int channel, const QVariantMap &p)
{
    if (!p.value(QStringLiteral("HasReceiver")).toBool())
        return QStringLiteral("%1: no receiver").arg(channel);
    QString line = QStringLiteral("%1: lamp %2, %3")
                       .arg(channel)
                       .arg(p.value(QStringLiteral("Lamp")).toString(),
                            p.value(QStringLiteral("Active")).toBool()
                                ? QStringLiteral("active")
                                : QStringLiteral("inactive"));
    if (p.value(QStringLiteral("Waiting")).toBool())
        line += QStringLiteral(", waiting");
    return line + QStringLiteral(", address ") + p.value(QStringLiteral("Address")).toString();
}

int status(QDBusConnection &bus, bool json)
{
    QJsonArray channels;
    QStringList lines;
    for (int channel = 1; channel <= ChannelCount; ++channel) {
        QDBusMessage getAll = call(channel,
                                   QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("GetAll"));
        getAll << QString::fromLatin1(Interface);
        const QDBusMessage reply = bus.call(getAll, QDBus::Block, ReplyTimeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage)
            return failed(reply);
        const QVariantMap p = qdbus_cast<QVariantMap>(reply.arguments().value(0));
        lines << statusLine(channel, p);
        QJsonObject object = QJsonObject::fromVariantMap(p);
        object.insert(QStringLiteral("Channel"), channel);
        channels.append(object);
    }
    if (json)
        std::fputs(QJsonDocument(channels).toJson(QJsonDocument::Compact).append('\n'), stdout);
    else
        say(stdout, lines.join(QLatin1Char('\n')));
    return RemoteExit::Done;
}

} // namespace

int runRemoteCommand(const RemoteCommand &command)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(QStringLiteral(LUMO_APP_ID)))
        return noPanel();
    if (command.action == RemoteCommand::Status)
        return status(bus, command.json);
    const QString interface = QString::fromLatin1(Interface);
    QDBusMessage request;
    switch (command.action) {
    case RemoteCommand::Switch:
        request = call(command.channel, interface, QStringLiteral("Switch")) << command.on;
        break;
    case RemoteCommand::Activate:
        request = call(command.channel, interface, QStringLiteral("SetActive")) << command.on;
        break;
    default:
        request = call(command.channel, interface, QStringLiteral("Ask"));
        break;
    }
    const QDBusMessage reply = bus.call(request, QDBus::Block, ReplyTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return failed(reply);
    if (!reply.arguments().isEmpty())
        say(stdout, reply.arguments().constFirst().toString());
    return RemoteExit::Done;
}
