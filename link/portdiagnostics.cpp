#include "portdiagnostics.h"

#include <QFileInfo>

QString describeOpenFailure(const QString &portName,
                            QSerialPort::SerialPortError error,
                            const QString &errorText,
                            const QString &deviceGroup)
{
    QString line = QStringLiteral("Cannot open serial port %1: %2").arg(portName, errorText);
#ifdef Q_OS_LINUX
    if (error == QSerialPort::PermissionError) {
        const QString group = deviceGroup.isEmpty() ? QStringLiteral("dialout") : deviceGroup;
        line += QStringLiteral(" (your user must belong to the group \"%1\" that owns the device, "
                               "e.g. sudo usermod -aG %1 $USER, then log in again)")
                    .arg(group);
    }
#else
    Q_UNUSED(error)
    Q_UNUSED(deviceGroup)
#endif
    return line;
}

QString deviceGroupOf(const QString &portName)
{
    const QString path = portName.startsWith(QLatin1Char('/')) ? portName
                                                               : QStringLiteral("/dev/") + portName;
    const QFileInfo info(path);
    return info.exists() ? info.group() : QString();
}
