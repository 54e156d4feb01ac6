#pragma once

#include <QString>

// The program keeps its files next to the program name it was started with: the extension of the
// program's own file name (from its last ".", if the name has one) is replaced by `extension`;
// dots in folder names are left alone. The name is taken as given, not resolved, so a bare name
// started from a console refers to the current directory. "/" and "\" both separate folders.
QString programFilePath(const QString &programName, const QString &extension);

// Where versions up to 0.1.2 looked: the whole name cut at its last ".", folder names included
// (D:\release.2\panel kept D:\release.cnf). Only read, to find files stored there.
QString earlierProgramFilePath(const QString &programName, const QString &extension);

inline QString configurationPath(const QString &programName)
{
    return programFilePath(programName, QStringLiteral(".cnf"));
}

inline QString channelAddressPath(const QString &programName)
{
    return programFilePath(programName, QStringLiteral(".channels"));
}
