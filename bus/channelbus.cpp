#include "channelbus.h"

#include "bus/businterface.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QStringList>

namespace {

const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

QString channelInterface()
{
    return QStringLiteral(LUMO_APP_ID ".Channel1");
}

QString channelsPath()
{
    return QStringLiteral(LUMO_APP_PATH "/channel");
}

// 1 for <app path>/channel/1, and so on; 0 for any other path.
int numberOf(const QString &path)
{
    const QString prefix = channelsPath() + QLatin1Char('/');
    if (!path.startsWith(prefix))
        return 0;
    const QString rest = path.mid(prefix.size());
    bool ok = false;
    const int number = rest.toInt(&ok);
    return ok && QString::number(number) == rest ? number : 0;
}

QString lampWord(Channel::Lamp lamp)
{
    switch (lamp) {
    case Channel::Lamp::On:
        return QStringLiteral("on");
    case Channel::Lamp::Off:
        return QStringLiteral("off");
    case Channel::Lamp::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

QDBusMessage failure(const QDBusMessage &call, ChannelRequests::Outcome outcome, int number)
{
    const QString channel = QStringLiteral("Channel %1").arg(number);
    switch (outcome) {
    case ChannelRequests::Outcome::GaveUp:
        return call.createErrorReply(QStringLiteral(LUMO_APP_ID ".Error.GaveUp"),
                                     channel + QStringLiteral(": the receiver did not answer"));
    case ChannelRequests::Outcome::NoReceiver:
        return call.createErrorReply(QStringLiteral(LUMO_APP_ID ".Error.NoReceiver"),
                                     channel + QStringLiteral(" has no receiver"));
    case ChannelRequests::Outcome::Replaced:
        return call.createErrorReply(QStringLiteral(LUMO_APP_ID ".Error.Replaced"),
                                     channel
                                         + QStringLiteral(": a later request took this one's "
                                                          "place"));
    default:
        return call.createErrorReply(QStringLiteral(LUMO_APP_ID ".Error.NoTransmitter"),
                                     QStringLiteral("The transmitter is not there"));
    }
}

// The <interface> element of the installed description.
QString interfaceElement()
{
    const QString xml = QString::fromUtf8(ChannelInterfaceXml);
    const QString end = QStringLiteral("</interface>");
    const int from = xml.indexOf(QLatin1String("<interface"));
    return xml.mid(from, xml.lastIndexOf(end) + end.size() - from) + QLatin1Char('\n');
}

} // namespace

ChannelBus::ChannelBus(QObject *parent)
    : QDBusVirtualObject(parent)
    , bus(QString())
{}

bool ChannelBus::registerOn(const QDBusConnection &connection)
{
    bus = connection;
    return bus.registerVirtualObject(channelsPath(), this, QDBusConnection::SubPath);
}

void ChannelBus::attach(BusChannels *panelChannels)
{
    channels = panelChannels;
    told.assign(size_t(channels->channelCount()), {});
    for (int number = 1; number <= channels->channelCount(); ++number)
        told[size_t(number - 1)] = properties(number);
    channels->follow(this, [this](int number) { announce(number); });
}

QString ChannelBus::introspect(const QString &path) const
{
    const int count = channels ? channels->channelCount() : ChannelCount;
    if (path == channelsPath()) {
        QString nodes;
        for (int number = 1; number <= count; ++number)
            nodes += QStringLiteral("<node name=\"%1\"/>\n").arg(number);
        return nodes;
    }
    const int number = numberOf(path);
    return number >= 1 && number <= count ? interfaceElement() : QString();
}

bool ChannelBus::handleMessage(const QDBusMessage &message, const QDBusConnection &connection)
{
    const QString interface = message.interface();
    if (message.type() != QDBusMessage::MethodCallMessage
        || interface == QLatin1String("org.freedesktop.DBus.Introspectable")
        || interface == QLatin1String("org.freedesktop.DBus.Peer"))
        return false; // answered by QtDBus, from introspect()
    const int number = numberOf(message.path());
    const int count = channels ? channels->channelCount() : ChannelCount;
    if (number < 1 || number > count) {
        connection.send(
            message.createErrorReply(QDBusError::InvalidArgs,
                                     QStringLiteral(
                                         "No channel at %1; the channels are %2/1 to %2/%3")
                                         .arg(message.path(), channelsPath())
                                         .arg(count)));
    } else if (interface == PropertiesInterface) {
        callProperties(number, message, connection);
    } else if (interface.isEmpty() || interface == channelInterface()) {
        callChannel(number, message, connection);
    } else {
        connection.send(message.createErrorReply(QDBusError::UnknownInterface,
                                                 QStringLiteral("No interface %1").arg(interface)));
    }
    return true;
}

void ChannelBus::callChannel(int number,
                             const QDBusMessage &message,
                             const QDBusConnection &connection)
{
    using Kind = ChannelRequests::Kind;
    const QString member = message.member();
    const bool takesFlag = member == QLatin1String("Switch")
                           || member == QLatin1String("SetActive");
    if (!takesFlag && member != QLatin1String("Ask")) {
        connection.send(message.createErrorReply(QDBusError::UnknownMethod,
                                                 QStringLiteral("No method %1").arg(member)));
        return;
    }
    const QString expected = takesFlag ? QStringLiteral("b") : QString();
    if (message.signature() != expected) {
        connection.send(
            message.createErrorReply(QDBusError::InvalidArgs,
                                     QStringLiteral("%1 takes the arguments \"%2\", not \"%3\"")
                                         .arg(member, expected, message.signature())));
        return;
    }
    const bool flag = takesFlag && message.arguments().at(0).toBool();
    Kind kind = Kind::Ask;
    if (member == QLatin1String("Switch"))
        kind = flag ? Kind::SwitchOn : Kind::SwitchOff;
    else if (member == QLatin1String("SetActive"))
        kind = flag ? Kind::Activate : Kind::Deactivate;
    ChannelRequests::Reply reply;
    // A caller that wants no reply leaves nothing behind.
    if (message.isReplyRequired()) {
        const bool withLamp = kind != Kind::Activate && kind != Kind::Deactivate;
        reply = [message, connection, number, withLamp](const ChannelRequests::Result &result) {
            if (result.outcome != ChannelRequests::Outcome::Reported
                && result.outcome != ChannelRequests::Outcome::Done)
                connection.send(failure(message, result.outcome, number));
            else if (withLamp)
                connection.send(message.createReply(lampWord(result.lamp)));
            else
                connection.send(message.createReply());
        };
    }
    if (channels)
        channels->request(number, kind, std::move(reply));
    else if (reply)
        reply({ChannelRequests::Outcome::NoTransmitter, Channel::Lamp::Unknown});
}

void ChannelBus::callProperties(int number,
                                const QDBusMessage &message,
                                const QDBusConnection &connection)
{
    const QString member = message.member();
    const QString signature = message.signature();
    const QVariantList arguments = message.arguments();
    if (member == QLatin1String("Set") && signature == QLatin1String("ssv")) {
        connection.send(
            message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly"),
                                     QStringLiteral("The channel's properties are read-only")));
        return;
    }
    const bool get = member == QLatin1String("Get") && signature == QLatin1String("ss");
    if (!get && !(member == QLatin1String("GetAll") && signature == QLatin1String("s"))) {
        connection.send(
            message.createErrorReply(QDBusError::InvalidArgs,
                                     QStringLiteral("No method %1 with arguments \"%2\"")
                                         .arg(member, signature)));
        return;
    }
    if (arguments.at(0).toString() != channelInterface()) {
        connection.send(message.createErrorReply(QDBusError::InvalidArgs,
                                                 QStringLiteral("No interface %1")
                                                     .arg(arguments.at(0).toString())));
        return;
    }
    if (!channels) {
        connection.send(failure(message, ChannelRequests::Outcome::NoTransmitter, number));
        return;
    }
    const QVariantMap all = properties(number);
    if (!get) {
        connection.send(message.createReply(all));
        return;
    }
    const QString name = arguments.at(1).toString();
    if (!all.contains(name)) {
        connection.send(message.createErrorReply(QDBusError::InvalidArgs,
                                                 QStringLiteral("No property %1").arg(name)));
        return;
    }
    connection.send(message.createReply(QVariant::fromValue(QDBusVariant(all.value(name)))));
}

QVariantMap ChannelBus::properties(int number) const
{
    const BusChannels::State channel = channels->state(number);
    return {{QStringLiteral("HasReceiver"), channel.receiver},
            {QStringLiteral("Address"), channel.address},
            {QStringLiteral("Active"), channel.active},
            {QStringLiteral("Lamp"), lampWord(channel.lamp)},
            {QStringLiteral("Waiting"), channel.waiting}};
}

void ChannelBus::announce(int number)
{
    if (!channels)
        return;
    const QVariantMap now = properties(number);
    QVariantMap &before = told[size_t(number - 1)];
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (before.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    if (changed.isEmpty())
        return; // the indicator blinks; the properties did not change
    before = now;
    QDBusMessage signal
        = QDBusMessage::createSignal(QStringLiteral("%1/%2").arg(channelsPath()).arg(number),
                                     PropertiesInterface,
                                     QStringLiteral("PropertiesChanged"));
    signal << channelInterface() << changed << QStringList();
    bus.send(signal);
}
