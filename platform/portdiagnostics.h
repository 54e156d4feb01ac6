#pragma once

#include <QSerialPort>
#include <QString>

// Each platform finds out what it can in platform/portdiagnostics_<platform>.cpp.

// What is known about a transmitter port that did not open, gathered after the failure. The
// toolkit reports a port whose lock file it cannot take as a permission error, whatever the
// cause: these facts tell a port in use from a device the user may not open.
struct OpenFailureFacts
{
    QString portName; // as given, e.g. "ttyUSB0" or a full path
    QSerialPort::SerialPortError error = QSerialPort::NoError;
    QString errorText;            // the toolkit's
    bool deviceExists = false;    // the device file is there
    bool deviceUsable = false;    // and this user may read and write it
    QString deviceGroup;          // the group that owns it, empty when unknown
    QString lockFile;             // the port's lock file; empty when no lock folder can hold it
    bool lockNameTooLong = false; // the lock file's name is longer than a file name may be
    bool lockFileExists = false;
    qint64 lockOwner = 0; // the process the lock file names, 0 when unreadable
    bool lockOwnerRunning = false;
    QString lockOwnerName; // that process's command name, when known
};

// Looks at the device and its lock file after `portName` failed to open.
OpenFailureFacts examineOpenFailure(const QString &portName,
                                    QSerialPort::SerialPortError error,
                                    const QString &errorText);

// The debug line that tells the user why the port did not open and, where the cause is known,
// what to do about it.
QString describeOpenFailure(const OpenFailureFacts &failure);
