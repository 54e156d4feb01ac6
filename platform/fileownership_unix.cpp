#include "files/filesafety.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString TooLarge = QStringLiteral("larger than 1 MiB");

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Root's links and files cannot have been planted by another user.
bool trustedOwner(uid_t owner)
{
    return owner == ::geteuid() || owner == 0;
}

QString notRegular(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO, not a regular file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device, not a regular file");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder, not a regular file");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket, not a regular file");
    return QStringLiteral("not a regular file");
}

FileContent notRead(const QString &problem)
{
    FileContent result;
    result.status = FileContent::NotRead;
    result.problem = problem;
    return result;
}

} // namespace

FileContent readRegularFile(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat entry;
    if (::lstat(native.constData(), &entry) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return FileContent();
        return notRead(systemError(errno));
    }
    const bool link = S_ISLNK(entry.st_mode);
    if (link && !trustedOwner(entry.st_uid))
        return notRead(QStringLiteral("a symbolic link of another user"));

    // Non-blocking, so that a FIFO swapped in after the look above cannot hang the start either.
    const int fd = ::open(native.constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | (link ? 0 : O_NOFOLLOW));
    if (fd < 0)
        return notRead(systemError(errno));
    FileContent result;
    struct stat file;
    if (::fstat(fd, &file) != 0)
        result = notRead(systemError(errno));
    else if (link && !trustedOwner(file.st_uid))
        result = notRead(QStringLiteral("a symbolic link to a file of another user"));
    else if (!S_ISREG(file.st_mode))
        result = notRead(notRegular(file.st_mode));
    else if (file.st_size > MaxReadableFileSize)
        result = notRead(TooLarge);
    else {
        // One byte more than allowed tells a file that grew since fstat() from one that did not.
        QByteArray content(int(MaxReadableFileSize + 1), Qt::Uninitialized);
        qint64 total = 0;
        while (total < content.size()) {
            const ssize_t got = ::read(fd, content.data() + total, size_t(content.size() - total));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                result = notRead(systemError(errno));
                break;
            }
            if (got == 0)
                break;
            total += got;
        }
        if (result.status != FileContent::NotRead) {
            if (total > MaxReadableFileSize) {
                result = notRead(TooLarge);
            } else {
                content.truncate(int(total));
                result.status = FileContent::Read;
                result.content = content;
            }
        }
    }
    ::close(fd);
    return result;
}

QString saveTargetProblem(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat entry;
    // Anything lstat() fails on is left to the save itself, which reports it.
    if (::lstat(native.constData(), &entry) != 0)
        return QString();
    if (S_ISLNK(entry.st_mode)) {
        if (!trustedOwner(entry.st_uid))
            return QStringLiteral("a symbolic link of another user");
        struct stat target;
        if (::stat(native.constData(), &target) != 0)
            return QString(); // a link to a file still to be made
        if (!trustedOwner(target.st_uid))
            return QStringLiteral("a symbolic link to a file of another user");
        if (!S_ISREG(target.st_mode))
            return QStringLiteral("a symbolic link to %1").arg(notRegular(target.st_mode));
        return QString();
    }
    return S_ISREG(entry.st_mode) ? QString() : notRegular(entry.st_mode);
}
