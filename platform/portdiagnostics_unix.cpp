#include "platform/portdiagnostics.h"

#include "link/debuglines.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <climits>
#include <cstring>
#include <csignal>
#include <unistd.h>

namespace {
// Where the device file of a port name is, as the serial port module resolves it.
QString deviceLocation(const QString &portName)
{
    if (portName.startsWith(QLatin1Char('/')) || portName.startsWith(QLatin1String("./"))
        || portName.startsWith(QLatin1String("../")))
        return portName;
    return QStringLiteral("/dev/") + portName;
}

// Where serial port lock files are kept, in the order the serial port module tries them.
QStringList lockFolders()
{
    return {QStringLiteral("/var/lock"),
            QStringLiteral("/etc/locks"),
            QStringLiteral("/var/spool/locks"),
            QStringLiteral("/var/spool/uucp"),
            QStringLiteral("/tmp"),
            QStringLiteral("/var/tmp"),
            QStringLiteral("/var/lock/lockdev"),
            QStringLiteral("/run/lock"),
            QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
}

// "LCK.." and the device's path below /dev with '/' as '_'.
QString lockNameFor(const QString &location)
{
    QString name = location.startsWith(QLatin1String("/dev/")) ? location.mid(5) : location;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return name.prepend(QLatin1String("LCK.."));
}

// The lock file the serial port module takes for a device, in the first of its lock folders that
// has that file or can take it.
QString lockFileFor(const QString &location, bool *tooLong)
{
    const QString name = lockNameFor(location);
    *tooLong = QFile::encodeName(name).size() > NAME_MAX;
    for (const QString &folder : lockFolders()) {
        const QString path = folder + QLatin1Char('/') + name;
        const QFileInfo info(folder);
        if (info.isReadable() && (QFile::exists(path) || info.isWritable()))
            return path;
    }
    return QString();
}

// The process a lock file names: the toolkit writes its number on the first line, the UUCP
// convention as ten characters padded with blanks, older programs as a binary number.
qint64 lockOwnerOf(const QString &lockFile)
{
    QFile file(lockFile);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray content = file.read(64);
    bool ok = false;
    qint64 pid = content.left(content.indexOf('\n')).trimmed().toLongLong(&ok);
    if (!ok && content.size() == int(sizeof(int))) {
        int binary = 0;
        std::memcpy(&binary, content.constData(), sizeof binary);
        pid = binary;
        ok = true;
    }
    return ok && pid > 0 ? pid : 0;
}

bool isRunning(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

QString processName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(comm.readLine(64).trimmed());
}
} // namespace

OpenFailureFacts examineOpenFailure(const QString &portName,
                                    QSerialPort::SerialPortError error,
                                    const QString &errorText)
{
    OpenFailureFacts failure;
    failure.portName = portName;
    failure.error = error;
    failure.errorText = errorText;
    const QString location = deviceLocation(portName);
    failure.deviceExists = QFileInfo::exists(location);
    if (failure.deviceExists)
        failure.deviceGroup = QFileInfo(location).group();
    const QByteArray encoded = QFile::encodeName(location);
    failure.deviceUsable = failure.deviceExists && ::access(encoded.constData(), R_OK | W_OK) == 0;
    failure.lockFile = lockFileFor(location, &failure.lockNameTooLong);
    if (!failure.lockFile.isEmpty() && !failure.lockNameTooLong) {
        failure.lockFileExists = QFileInfo::exists(failure.lockFile);
        failure.lockOwner = failure.lockFileExists ? lockOwnerOf(failure.lockFile) : 0;
        if (failure.lockOwner > 0) {
            failure.lockOwnerRunning = isRunning(failure.lockOwner);
            if (failure.lockOwnerRunning)
                failure.lockOwnerName = processName(failure.lockOwner);
        }
    }
    return failure;
}

QString devicePortName(const QString &portName)
{
    const QString device = QFileInfo(deviceLocation(portName)).canonicalFilePath();
    return device.isEmpty() ? portName : device;
}

OpenFailureFacts examinePortLock(const QString &portName)
{
    OpenFailureFacts lock;
    lock.portName = portName;
    const QString name = lockNameFor(deviceLocation(portName));
    QStringList seen;
    for (const QString &folder : lockFolders()) {
        const QString path = folder + QLatin1Char('/') + name;
        const QString file = QFileInfo(path).canonicalFilePath(); // /var/lock is often /run/lock
        if (file.isEmpty() || seen.contains(file))
            continue;
        seen << file;
        const qint64 owner = lockOwnerOf(file);
        if (owner <= 0 || owner == QCoreApplication::applicationPid())
            continue; // unreadable ones are the toolkit's to judge, and our own is no stranger
        if (!isRunning(owner)) {
            QFile::remove(file); // stale; if it stays, the failure to open will say so
            continue;
        }
        lock.error = QSerialPort::PermissionError;
        lock.errorText = QStringLiteral("Permission error while locking the device");
        lock.lockFile = path;
        lock.lockFileExists = true;
        lock.lockOwner = owner;
        lock.lockOwnerRunning = true;
        lock.lockOwnerName = processName(owner);
        break;
    }
    return lock;
}

QString describeOpenFailure(const OpenFailureFacts &failure)
{
    QString line = QStringLiteral("Cannot open serial port %1: %2")
                       .arg(printableForLog(failure.portName), printableForLog(failure.errorText));
    if (failure.error != QSerialPort::PermissionError)
        return line;
    // The lock file is taken before the device is opened: look at it first.
    if (failure.lockFile.isEmpty())
        return line
               + QStringLiteral(" (no folder for the port's lock file can be written, "
                                "such as /run/lock)");
    const QString lockFile = printableForLog(failure.lockFile);
    if (failure.lockNameTooLong)
        return line
               + QStringLiteral(" (the port's name is too long for its lock file %1)").arg(lockFile);
    if (failure.lockFileExists) {
        if (failure.lockOwner == 0)
            return line
                   + QStringLiteral(" (the port is in use by another program: lock file %1)")
                         .arg(lockFile);
        if (!failure.lockOwnerRunning)
            return line
                   + QStringLiteral(" (the lock file %1 names process %2, which has ended, and "
                                    "cannot be removed: ask its owner or your administrator)")
                         .arg(lockFile)
                         .arg(failure.lockOwner);
        const QString owner = failure.lockOwnerName.isEmpty()
                                  ? QString::number(failure.lockOwner)
                                  : QStringLiteral("%1 %2")
                                        .arg(failure.lockOwner)
                                        .arg(printableForLog(failure.lockOwnerName));
        return line
               + QStringLiteral(
                     " (the port is in use by another program: lock file %1, process %2)")
                     .arg(lockFile, owner);
    }
    if (failure.deviceExists && !failure.deviceUsable) {
#ifdef Q_OS_LINUX
        const QString group = failure.deviceGroup.isEmpty() ? QStringLiteral("dialout")
                                                            : failure.deviceGroup;
        if (group == QLatin1String("root"))
            return line
                   + QStringLiteral(" (your user may not read and write the device, which "
                                    "belongs to the group \"root\": ask your administrator for "
                                    "access, e.g. through the group \"dialout\")");
        return line
               + QStringLiteral(" (your user must belong to the group \"%1\" that owns the device, "
                                "e.g. sudo usermod -aG %1 $USER, then log in again)")
                     .arg(printableForLog(group));
#else
        return line + QStringLiteral(" (your user may not read and write the device)");
#endif
    }
    if (failure.deviceExists)
        return line
               + QStringLiteral(
                   " (the port is in use by another program that holds it exclusively)");
    return line;
}
