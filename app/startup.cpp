#include "startup.h"

#include "app/mainwindow.h"
#include "app/programpath.h"

#include <QApplication>

int runPanel(const QString &programName)
{
    MainWindow window(channelAddressPath(programName));
    window.loadConfiguration(configurationPath(programName));
    window.show();
    window.applyConfiguration();
    return QApplication::exec();
}
