// The file checks on Windows so far: what QFileInfo can tell of a file's kind and size.
#include "files/filesafety.h"

#include <QFile>
#include <QFileInfo>

namespace {
const QString TooLarge = QStringLiteral("larger than 1 MiB");
} // namespace

FileContent readRegularFile(const QString &path)
{
    FileContent result;
    const QFileInfo info(path);
    if (!info.exists())
        return result;
    result.status = FileContent::NotRead;
    if (!info.isFile()) {
        result.problem = QStringLiteral("not a regular file");
        return result;
    }
    if (info.size() > MaxReadableFileSize) {
        result.problem = TooLarge;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.problem = file.errorString();
        return result;
    }
    const QByteArray content = file.read(MaxReadableFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        result.problem = file.errorString();
    else if (content.size() > MaxReadableFileSize)
        result.problem = TooLarge;
    else {
        result.status = FileContent::Read;
        result.content = content;
    }
    return result;
}

QString saveTargetProblem(const QString &path)
{
    const QFileInfo info(path);
    return !info.exists() || info.isFile() ? QString() : QStringLiteral("not a regular file");
}
