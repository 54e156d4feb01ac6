#include "busloader.h"

#include "app/commandline.h"
#include "link/debuglines.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QLibrary>

#include <cstdio>

namespace {

// Whether libdbus has anywhere to look for the session bus: the address it is given, the
// user's bus socket, or an X display to start a bus for. Without one, loading the module would
// only map Qt D-Bus and its libraries to find nothing.
bool sessionBusMayBeFound()
{
#ifdef Q_OS_LINUX
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")
        || !qEnvironmentVariableIsEmpty("DISPLAY"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
#else
    return true;
#endif
}

struct Plugin
{
    const BusPluginEntry *entry = nullptr;
    QString error; // why there is no entry
};

Plugin load()
{
    const QString folder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    const QString file = QStringLiteral(LUMO_BUS_PLUGIN_FILE);
    QString path = folder + file;
    if (!QFileInfo::exists(path))
        path = QFileInfo(folder + QStringLiteral(LUMO_BUS_PLUGIN_FOLDER "/") + file)
                   .absoluteFilePath();
    Plugin plugin;
    if (!QFileInfo::exists(path)) {
        plugin.error = QStringLiteral("%1 is missing").arg(path);
        return plugin;
    }
    // It stays loaded for the process: the session and its objects live in it.
    QLibrary library(path);
    if (!library.load()) {
        plugin.error = library.errorString();
        return plugin;
    }
    const auto entry = reinterpret_cast<BusPluginEntryFunction>(
        library.resolve(LUMO_BUS_PLUGIN_ENTRY));
    const BusPluginEntry *found = entry ? entry() : nullptr;
    if (!found || found->abi != BusPluginAbi) {
        plugin.error = QStringLiteral("%1 is from another build of the program").arg(path);
        return plugin;
    }
    plugin.entry = found;
    return plugin;
}

const Plugin &plugin()
{
    static const Plugin loaded = load();
    return loaded;
}

class RequestsOnBus final : public BusChannels
{
public:
    explicit RequestsOnBus(ChannelRequests *requests)
        : BusChannels(requests)
        , requests(requests)
    {}

    int channelCount() const override { return requests->channelCount(); }

    State state(int number) const override
    {
        const Channel &channel = requests->channel(number);
        const ChannelAddress &address = channel.channelAddress();
        return {channel.receiver(),
                QString::asprintf("%02X %02X %02X", address[0], address[1], address[2]),
                channel.isActive(),
                channel.reportedLamp(),
                channel.isWaiting()};
    }

    void request(int number, ChannelRequests::Kind kind, ChannelRequests::Reply reply) override
    {
        requests->request(number, kind, std::move(reply));
    }

    void follow(QObject *context, std::function<void(int number)> changed) override
    {
        for (int number = 1; number <= channelCount(); ++number)
            QObject::connect(&requests->channel(number),
                             &Channel::changed,
                             context,
                             [changed, number] { changed(number); });
    }

private:
    ChannelRequests *const requests;
};

} // namespace

std::unique_ptr<BusSession> openSessionBus()
{
    if (!sessionBusMayBeFound()) {
        qDebug().noquote() << "No session bus, so no D-Bus interface and no check for a running "
                              "panel: no bus address, no bus socket and no X display";
        return nullptr;
    }
    if (!plugin().entry) {
        qWarning().noquote() << "Going on without the D-Bus interface and the check for a "
                                "running panel: the session bus module cannot be loaded:"
                             << printableForLog(plugin().error);
        return nullptr;
    }
    return std::unique_ptr<BusSession>(plugin().entry->openSession());
}

BusChannels *channelsForBus(ChannelRequests *requests)
{
    return new RequestsOnBus(requests);
}

int sendRemoteCommand(const RemoteCommand &command)
{
    if (!plugin().entry) {
        std::fprintf(stderr,
                     "lumo-win: the session bus module cannot be loaded: %s\n",
                     qPrintable(plugin().error));
        return RemoteExit::NoPanel;
    }
    return plugin().entry->runRemoteCommand(command);
}
