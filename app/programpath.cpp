#include "programpath.h"

QString programFilePath(const QString &programName, const QString &extension)
{
    const int dot = programName.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? programName : programName.left(dot)) + extension;
}
