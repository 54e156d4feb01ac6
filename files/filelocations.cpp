#include "filelocations.h"

#include "files/programpath.h"
#include "link/debuglines.h"

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

// True when `path` names anything, even a symbolic link that leads nowhere.
bool pathIsTaken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

QString userConfigurationFolder()
{
#ifdef Q_OS_WIN
    // %APPDATA%\lumo-win, the user's roaming folder: Qt names it after the program, which
    // prepareApplication() calls "lumo-win" whatever the program file is called.
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
#else
    return inFolder(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                    FolderName);
#endif
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

AddressFileCandidates channelAddressCandidates(const QString &programName,
                                               const QString &userFolder,
                                               const QStringList &systemFolders)
{
    AddressFileCandidates candidates;
    candidates.besideProgram = channelAddressPath(programName);
    candidates.paths << candidates.besideProgram;
    const QString earlier = earlierProgramFilePath(programName, QStringLiteral(".channels"));
    if (earlier != candidates.besideProgram) {
        candidates.earlierPlace = earlier;
        candidates.paths << earlier;
    }
    const QString name = QStringLiteral("lumo-win.channels");
    candidates.paths << inFolder(userFolder, name);
    for (const QString &folder : systemFolders)
        candidates.paths << inFolder(folder, name);
    candidates.paths.removeDuplicates();
    return candidates;
}

QString findChannelAddressFile(const AddressFileCandidates &candidates)
{
    for (const QString &candidate : candidates.paths) {
        if (!pathIsTaken(candidate))
            continue;
        if (candidate == candidates.earlierPlace)
            qDebug().noquote() << QStringLiteral("Reading the channel addresses from %1, where "
                                                 "earlier versions looked; rename it to %2")
                                      .arg(printableForLog(candidate),
                                           printableForLog(candidates.besideProgram));
        return candidate;
    }
    qDebug().noquote() << QStringLiteral("No channel address file at %1: no channel has a receiver")
                              .arg(printableForLog(candidates.paths.join(QStringLiteral(", "))));
    return QString();
}
