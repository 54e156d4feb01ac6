#include "startup.h"

#include "app/mainwindow.h"
#include "app/programpath.h"

#include <QApplication>

void prepareApplication()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
}

int runPanel(const QString &programName)
{
    MainWindow window(channelAddressPath(programName));
    window.loadConfiguration(configurationPath(programName));
    window.show();
    window.applyConfiguration();
    return QApplication::exec();
}
