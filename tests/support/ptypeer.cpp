#include "ptypeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPeer::PtyPeer()
{
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        master = slave = -1;
        return;
    }
    termios tio{};
    ::tcgetattr(master, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master, TCSANOW, &tio);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    // Not inherited by a panel started as a child process, or hangUp() would hang nothing up.
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    path = QString::fromLocal8Bit(name);
    // The slave stays open here too, so the line does not hang up between the program's opens.
}

PtyPeer::~PtyPeer()
{
    if (published)
        qunsetenv("LUMO_WIN_PORT");
    hangUp();
    if (slave >= 0)
        ::close(slave);
}

void PtyPeer::useAsTransmitter()
{
    qputenv("LUMO_WIN_PORT", path.toLocal8Bit());
    published = true;
}

void PtyPeer::write(const QByteArray &bytes)
{
    qint64 done = 0;
    while (master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else
            QThread::usleep(100);
    }
}

QByteArray PtyPeer::readNow()
{
    QByteArray result;
    char buffer[4096];
    while (master >= 0) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        result.append(buffer, int(n));
    }
    return result;
}

QByteArray PtyPeer::read(int atLeast, int timeoutMs)
{
    QByteArray result = readNow();
    QElapsedTimer clock;
    clock.start();
    while (result.size() < atLeast && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
        result += readNow();
    }
    return result;
}

void PtyPeer::hangUp()
{
    if (master >= 0)
        ::close(master);
    master = -1;
}
