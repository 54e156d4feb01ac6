#include "startup.h"

#include "files/filelocations.h"
#include "app/mainwindow.h"
#include "app/startupmemory.h"
#include "link/debuglines.h"
#include "platform/largeblocks.h"
#include "platform/signalclose.h"
#ifdef LUMO_MQTT_BRIDGE
#include "mqtt/panelbridge.h"
#endif

#ifdef LUMO_HAVE_DBUS
#include "bus/busloader.h"
#endif

#include <QApplication>
#include <QDebug>

#include <cstdio>

void prepareApplication()
{
    returnLargeBlocksWhenFreed();
    // The name of the per-user folders on Windows, whatever the program file is called.
    QCoreApplication::setApplicationName(QStringLiteral("lumo-win"));
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
}

void raiseWindow(QWidget &window, const QString &token)
{
    // Qt's Wayland activation takes the token from the environment.
    if (!token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

int runPanel(const QString &programName)
{
#ifdef LUMO_HAVE_DBUS
    // Before the files, the window and the port: a second start only raises the first.
    const std::unique_ptr<BusSession> bus = openSessionBus();
    switch (bus ? bus->claim() : BusSession::Claim::NoBus) {
    case BusSession::Claim::Activated:
        return 0;
    case BusSession::Claim::OtherIsSilent:
        std::fprintf(stderr,
                     "lumo-win: a panel runs in this session but does not answer: %s\n",
                     qPrintable(bus->failure()));
        return 1;
    case BusSession::Claim::Owner:
    case BusSession::Claim::NoBus:
        break;
    }
#endif
    const QString userFolder = userConfigurationFolder();
    const QString addressFile = findChannelAddressFile(
        channelAddressCandidates(programName, userFolder, systemConfigurationFolders()));
    MainWindow window(addressFile);
#ifdef LUMO_HAVE_DBUS
    if (bus)
        bus->attach(channelsForBus(window.channelRequests()),
                    [&window](const QString &token) { raiseWindow(window, token); });
#endif
    // From here on, being ended by the system closes the window as its close button does.
    SignalClose signalClose(&window);
    // At logoff or shutdown the session may end without the window being closed (Windows ends
    // the program after asking): the settings are saved when it asks.
    QObject::connect(qApp,
                     &QGuiApplication::commitDataRequest,
                     &window,
                     &MainWindow::saveConfiguration);
    const ConfigurationFiles settings = configurationFiles(programName, userFolder);
    if (!settings.readFrom.isEmpty())
        qDebug().noquote() << QStringLiteral("Reading the settings from %1, where earlier "
                                             "versions kept them; they are saved to %2")
                                  .arg(printableForLog(settings.readFrom),
                                       printableForLog(settings.path));
    window.loadConfiguration(settings.path, settings.readFrom);
#ifdef LUMO_MQTT_BRIDGE
    // Gone before the window: it says "offline" on its way out.
    const auto bridge = startPanelBridge(window,
                                         bridgeSettingsCandidates(programName,
                                                                  userFolder,
                                                                  systemConfigurationFolders()));
#endif
    new StartupMemory(&window);
    window.show();
    window.applyConfiguration();
    return QApplication::exec();
}
