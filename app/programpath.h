#pragma once

#include <QString>

// The program keeps its files next to the program name it was started with: everything from the
// last "." of that name on (directory part included) is replaced by `extension`. The name is taken
// as given, not resolved, so a bare name started from a console refers to the current directory.
QString programFilePath(const QString &programName, const QString &extension);

inline QString configurationPath(const QString &programName)
{
    return programFilePath(programName, QStringLiteral(".cnf"));
}

inline QString channelAddressPath(const QString &programName)
{
    return programFilePath(programName, QStringLiteral(".channels"));
}
