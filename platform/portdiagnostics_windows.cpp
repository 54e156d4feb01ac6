#include "platform/portdiagnostics.h"

#include "link/debuglines.h"

// Windows opens a COM port for one program at a time and has no lock files: "access denied"
// (which the toolkit reports as a permission error) means that another program holds the port.

QString devicePortName(const QString &portName)
{
    return portName; // COM names are not links
}

OpenFailureFacts examinePortLock(const QString &portName)
{
    OpenFailureFacts facts;
    facts.portName = portName;
    return facts; // the open itself refuses a port in use
}

OpenFailureFacts examineOpenFailure(const QString &portName,
                                    QSerialPort::SerialPortError error,
                                    const QString &errorText)
{
    OpenFailureFacts failure;
    failure.portName = portName;
    failure.error = error;
    failure.errorText = errorText;
    return failure; // no device file, group or lock file to look at
}

QString describeOpenFailure(const OpenFailureFacts &failure)
{
    const QString line = QStringLiteral("Cannot open serial port %1: %2")
                             .arg(printableForLog(failure.portName),
                                  printableForLog(failure.errorText));
    if (failure.error != QSerialPort::PermissionError)
        return line;
    return line
           + QStringLiteral(" (the port is in use by another program: Windows lets one program at "
                            "a time open a COM port; close the other program or choose another "
                            "port with LUMO_WIN_PORT)");
}
