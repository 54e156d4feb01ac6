#include "pseudoterminal.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::open(QString *error)
{
    close();
    int slave = -1;
    char name[256] = {};
    termios raw{};
    ::cfmakeraw(&raw);
    ::cfsetspeed(&raw, B115200);
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        master = -1;
        return false;
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::close(slave);
    path = QString::fromLocal8Bit(name);
    return true;
}

void PseudoTerminal::close()
{
    if (master >= 0)
        ::close(master);
    master = -1;
}

bool PseudoTerminal::peerConnected() const
{
    if (master < 0)
        return false;
    pollfd p{master, POLLIN, 0};
    // With no slave descriptor open anywhere, the master reports a hang-up.
    return ::poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP);
}

QByteArray PseudoTerminal::read(bool *peerGone)
{
    *peerGone = false;
    QByteArray bytes;
    char buffer[4096];
    while (master >= 0) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EIO: every slave descriptor is closed; EAGAIN: nothing more for now.
        *peerGone = n < 0 && errno == EIO;
        break;
    }
    return bytes;
}

bool PseudoTerminal::write(const QByteArray &bytes)
{
    if (master < 0)
        return false;
    const ssize_t n = ::write(master, bytes.constData(), size_t(bytes.size()));
    return n == bytes.size();
}

void PseudoTerminal::dropUnread()
{
    if (master < 0)
        return;
    // Flushing from the master end leaves the slave's input as it is: only a slave descriptor
    // reaches it.
    const int slave = ::open(path.toLocal8Bit().constData(),
                             O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0)
        return;
    ::tcflush(slave, TCIFLUSH);
    ::close(slave);
}
