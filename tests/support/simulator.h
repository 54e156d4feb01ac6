#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// lumo-sim, the virtual transmitter, as the build made it; empty when it was not built.
QString simulatorPath();

// Starts lumo-sim in `process` with `arguments` and returns the first line it prints: the path of
// the pseudo-terminal the panel is to open. Empty when it did not start within ten seconds.
// Set the process's channel mode before, if its error output is not wanted.
QString startSimulator(QProcess &process,
                       const QStringList &arguments,
                       const QString &program = simulatorPath());
