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

// The device behind `portName` ("ttyUSB0" or a path) with symbolic links resolved, as the name
// to open it by, so that its lock file is the device's own whatever link leads to it; `portName`
// itself when it leads nowhere.
QString devicePortName(const QString &portName);

// Before `portName` is opened: the lock files that other programs may hold for it, in every lock
// folder and in the usual formats (the process number as text, as the toolkit and the UUCP
// convention write it, or in binary). A lock naming a running process other than this one
// gives its facts, lockOwnerRunning set: the port is in use and is not to be opened. A lock of
// a process that has ended is removed.
OpenFailureFacts examinePortLock(const QString &portName);

// Looks at the device and its lock file after `portName` failed to open.
OpenFailureFacts examineOpenFailure(const QString &portName,
                                    QSerialPort::SerialPortError error,
                                    const QString &errorText);

// The debug line that tells the user why the port did not open and, where the cause is known,
// what to do about it.
QString describeOpenFailure(const OpenFailureFacts &failure);
