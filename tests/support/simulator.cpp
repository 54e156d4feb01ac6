#include "simulator.h"

#include <QElapsedTimer>

QString simulatorPath()
{
#ifdef LUMO_SIM_PATH
    return QStringLiteral(LUMO_SIM_PATH);
#else
    return QString();
#endif
}

QString startSimulator(QProcess &process, const QStringList &arguments, const QString &program)
{
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return QString();
    QElapsedTimer clock;
    clock.start();
    while (!process.canReadLine() && clock.elapsed() < 10000 && process.state() == QProcess::Running)
        process.waitForReadyRead(100);
    return QString::fromLocal8Bit(process.readLine()).trimmed();
}
