#include "startup.h"

#include "files/filelocations.h"
#include "app/mainwindow.h"
#include "link/debuglines.h"
#include "platform/signalclose.h"

#include <QApplication>
#include <QDebug>

void prepareApplication()
{
    // The name of the per-user folders on Windows, whatever the program file is called.
    QCoreApplication::setApplicationName(QStringLiteral("lumo-win"));
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
}

int runPanel(const QString &programName)
{
    const QString userFolder = userConfigurationFolder();
    const QString addressFile = findChannelAddressFile(
        channelAddressCandidates(programName, userFolder, systemConfigurationFolders()));
    MainWindow window(addressFile);
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
    window.show();
    window.applyConfiguration();
    return QApplication::exec();
}
