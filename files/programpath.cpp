#include "programpath.h"

QString programFilePath(const QString &programName, const QString &extension)
{
    const int nameStart = int(qMax(programName.lastIndexOf(QLatin1Char('/')),
                                   programName.lastIndexOf(QLatin1Char('\\'))))
                          + 1;
    const int dot = int(programName.lastIndexOf(QLatin1Char('.')));
    // A dot that starts the name marks a hidden file, not an extension.
    const bool hasExtension = dot > nameStart;
    return (hasExtension ? programName.left(dot) : programName) + extension;
}

QString earlierProgramFilePath(const QString &programName, const QString &extension)
{
    const int dot = int(programName.lastIndexOf(QLatin1Char('.')));
    return (dot < 0 ? programName : programName.left(dot)) + extension;
}
