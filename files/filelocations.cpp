#include "filelocations.h"

#include "files/programpath.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

const QString FolderName = QStringLiteral("lumo-win");

QString inFolder(const QString &folder, const QString &name)
{
    return QDir(folder).filePath(name);
}

} // namespace

QString userConfigurationFolder()
{
    return inFolder(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                    FolderName);
}

QStringList systemConfigurationFolders()
{
    QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    const QString user = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    folders.removeAll(user);
    for (QString &folder : folders)
        folder = inFolder(folder, FolderName);
    return folders;
}

// Whether a new file can be made in `folder`.
bool folderTakesNewFile(const QString &folder)
{
#ifdef Q_OS_WIN
    // Windows' access rights are not in the read-only attribute that QFileInfo looks at
    // (C:\Program Files has none): try it.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("lumo-win-XXXXXX.tmp")));
    return probe.open();
#else
    // access(2), which also knows a read-only mount.
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
#endif
}

bool pathIsTaken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

ConfigurationFiles configurationFiles(const QString &programName, const QString &userFolder)
{
    ConfigurationFiles files;
    const QString beside = configurationPath(programName);
    const bool besideUsable = pathIsTaken(beside)
                              || folderTakesNewFile(QFileInfo(beside).absolutePath());
    files.path = besideUsable ? beside : inFolder(userFolder, QStringLiteral("lumo-win.cnf"));
    const QString earlier = earlierProgramFilePath(programName, QStringLiteral(".cnf"));
    if (!pathIsTaken(files.path) && earlier != beside && pathIsTaken(earlier))
        files.readFrom = earlier;
    return files;
}

QStringList channelAddressCandidates(const QString &programName,
                                     const QString &userFolder,
                                     const QStringList &systemFolders)
{
    QStringList candidates{channelAddressPath(programName)};
    const QString earlier = earlierProgramFilePath(programName, QStringLiteral(".channels"));
    if (earlier != candidates.first())
        candidates << earlier;
    const QString name = QStringLiteral("lumo-win.channels");
    candidates << inFolder(userFolder, name);
    for (const QString &folder : systemFolders)
        candidates << inFolder(folder, name);
    candidates.removeDuplicates();
    return candidates;
}

QString findChannelAddressFile(const QString &programName, const QStringList &candidates)
{
    for (const QString &candidate : candidates) {
        if (!pathIsTaken(candidate))
            continue;
        if (candidate == earlierProgramFilePath(programName, QStringLiteral(".channels"))
            && candidate != channelAddressPath(programName))
            qDebug().noquote() << QStringLiteral("Reading the channel addresses from %1, where "
                                                 "earlier versions looked; rename it to %2")
                                      .arg(candidate, channelAddressPath(programName));
        return candidate;
    }
    qDebug().noquote() << QStringLiteral("No channel address file at %1: no channel has a receiver")
                              .arg(candidates.join(QStringLiteral(", ")));
    return QString();
}
