#include "app/startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The program's files sit next to its name as invoked, taken before Qt sees the arguments.
    const QString programName = argc > 0 ? QString::fromLocal8Bit(argv[0]) : QString();
    prepareApplication();
    QApplication application(argc, argv);
    return runPanel(programName);
}
