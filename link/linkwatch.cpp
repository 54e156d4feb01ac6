#include "linkwatch.h"

#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/ioctl.h>
#include <termios.h>
#endif

QString lineFailure(const QSerialPort &port)
{
#ifdef Q_OS_UNIX
    return port.isOpen() ? lineFailure(int(port.handle())) : QString();
#else
    // Elsewhere the toolkit reports a lost line itself.
    Q_UNUSED(port);
    return QString();
#endif
}

QString lineFailure(int descriptor)
{
#ifdef Q_OS_UNIX
    termios settings{};
    if (::tcgetattr(descriptor, &settings) == 0)
        return QString();
    return qt_error_string(errno);
#else
    Q_UNUSED(descriptor);
    return QString();
#endif
}

bool hasUnreadBytes(const QSerialPort &port)
{
    if (port.bytesAvailable() > 0)
        return true;
#ifdef Q_OS_UNIX
    int waiting = 0;
    return port.isOpen() && ::ioctl(int(port.handle()), FIONREAD, &waiting) == 0 && waiting > 0;
#else
    return false;
#endif
}
